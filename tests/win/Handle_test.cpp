#include "win/Handle.h"

#include <gtest/gtest.h>

namespace {

bool IsOpen(HANDLE H) {
  DWORD Flags;
  return GetHandleInformation(H, &Flags) != 0;
}

TEST(Handle, ClosesOnceAcrossMovesAndResets) {
  HANDLE Raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(IsOpen(Raw));
  {
    TKernelHandle A(Raw);
    TKernelHandle B(std::move(A));
    EXPECT_FALSE(A);
    EXPECT_EQ(B.get(), Raw);
    TKernelHandle C;
    C = std::move(B);
    EXPECT_TRUE(IsOpen(Raw));
  }
  EXPECT_FALSE(IsOpen(Raw));

  HANDLE Kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  TKernelHandle D(Kept);
  EXPECT_EQ(D.release(), Kept);
  D.reset();
  EXPECT_TRUE(IsOpen(Kept));
  CloseHandle(Kept);
}

TEST(Handle, FindHandleTreatsMinusOneAsEmpty) {
  WIN32_FIND_DATAA Data;
  TFindHandle None(FindFirstFileA("C:\\no such folder\\*", &Data));
  EXPECT_FALSE(None);  // and its destructor must not call FindClose
  TFindHandle Some(FindFirstFileA("C:\\*", &Data));
  EXPECT_TRUE(Some);
}

}  // namespace
