// What a call throws, for tests that check the error itself.
#pragma once

#include <QString>
#include <gtest/gtest.h>

#include <optional>
#include <typeinfo>

// The exception of type E that `call` throws; a test failure (and nothing)
// when it throws none. Another kind of exception goes on to the test.
template <typename E, typename Call>
std::optional<E> Thrown(Call&& call)
{
  try {
    call();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "no " << typeid(E).name() << " thrown";
  return std::nullopt;
}

// The message of the exception of type E that `call` throws; a test failure
// (and a text no error has) when it throws none.
template <typename E, typename Call>
QString ThrownMessage(Call&& call)
{
  const std::optional<E> e = Thrown<E>(std::forward<Call>(call));
  return e ? e->Message() : QStringLiteral("(nothing thrown)");
}
