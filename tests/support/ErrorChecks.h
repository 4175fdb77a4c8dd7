#pragma once

// Checks of the kiv::Error a statement raises.

#include <gtest/gtest.h>

#include <string>

#include "kiv/runtime/Error.h"

// Expects `statement` to raise kiv::Error with the given number.
#define EXPECT_KIV_ERROR(statement, expectedNumber)                                       \
  do {                                                                                    \
    try {                                                                                 \
      statement;                                                                          \
      ADD_FAILURE() << "expected kiv::Error " << (expectedNumber) << " from " #statement; \
    } catch (const kiv::Error& e) {                                                       \
      EXPECT_EQ(e.number(), (expectedNumber)) << #statement << ": " << e.description();   \
    }                                                                                     \
  } while (0)

// The description of the kiv::Error that `fn` raises ("" when none).
template <class F>
std::string ErrorDescription(F&& fn) {
  try {
    fn();
  } catch (const kiv::Error& e) {
    return e.description();
  }
  return "";
}

// The number of the kiv::Error that `fn` raises (0 when none).
template <class F>
int ErrorNumber(F&& fn) {
  try {
    fn();
  } catch (const kiv::Error& e) {
    return e.number();
  }
  return 0;
}

// The kiv::Error that `fn` raises; fails the test when it raises none.
template <class F>
kiv::Error CaughtError(F&& fn) {
  try {
    fn();
  } catch (const kiv::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return kiv::Error(0, "", "");
}
