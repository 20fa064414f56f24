// GoogleTest main of the Marlinbar tests: the test thread is a
// single-threaded OLE apartment, as a form's thread is.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  int rc = RUN_ALL_TESTS();
  OleUninitialize();
  return rc;
}
