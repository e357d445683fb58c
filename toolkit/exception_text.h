// The text of any exception, for the places that report what went wrong.
#pragma once

#include <QString>
#include <exception>

// An Exception's message, a standard exception's what(), or "Unknown error".
QString ExceptionText(std::exception_ptr error);
