#include "toolkit/exception_text.h"

#include "toolkit/exceptions.h"

QString ExceptionText(std::exception_ptr error)
{
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}
