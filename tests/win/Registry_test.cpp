#include "win/Registry.h"

#include "support/TestKey.h"

#include <gmock/gmock.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <algorithm>

using ::testing::ElementsAre;

namespace {

class RegistryTest : public ::testing::Test {
protected:
  TTestKey Key;
  TRegistry Reg{HKEY_CURRENT_USER};
};

TEST_F(RegistryTest, OpenWithoutCreateFailsOnMissingKeyAndLeavesItMissing) {
  EXPECT_FALSE(Reg.OpenKey(Key.Path(), false));
  EXPECT_FALSE(Key.Exists());
  EXPECT_TRUE(Reg.OpenKey(Key.Absolute(), true));  // a leading backslash means the same
  EXPECT_TRUE(Key.Exists());
  EXPECT_TRUE(Reg.OpenKey(Key.Path(), false));
}

TEST_F(RegistryTest, TypedReadsFailOnMissingValueOrWrongType) {
  Key.SetDword("Dword", 7);
  Key.SetDword("Zero", 0);
  Key.SetString("Text", "1");
  ASSERT_TRUE(Reg.OpenKey(Key.Path(), false));

  EXPECT_EQ(Reg.ReadInteger("Dword"), 7u);
  EXPECT_EQ(Reg.ReadBool("Dword"), true);  // any non-zero number is true
  EXPECT_EQ(Reg.ReadBool("Zero"), false);
  EXPECT_EQ(Reg.ReadString("Text"), "1");

  EXPECT_FALSE(Reg.ReadBool("Text"));  // a REG_SZ "1" is no Boolean
  EXPECT_FALSE(Reg.ReadInteger("Text"));
  EXPECT_FALSE(Reg.ReadString("Dword"));
  EXPECT_FALSE(Reg.ReadBinary("Dword"));
  EXPECT_FALSE(Reg.ReadInteger("Missing"));
  EXPECT_FALSE(Reg.ReadString("Missing"));
}

TEST_F(RegistryTest, StringsWithoutTerminatorReadWhole) {
  ASSERT_TRUE(Reg.OpenKey(Key.Path(), true));
  ASSERT_EQ(RegSetValueExA(Reg.CurrentKey(), "Bare", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>("abc"), 3),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(Reg.CurrentKey(), "Empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
  EXPECT_EQ(Reg.ReadString("Bare"), "abc");
  EXPECT_EQ(Reg.ReadString("Empty"), "");
}

TEST_F(RegistryTest, WritesReadBack) {
  ASSERT_TRUE(Reg.OpenKey(Key.Path(), true));
  const std::uint8_t Bytes[] = {0, 1, 2, 255};
  Reg.WriteBool("B", true);
  Reg.WriteInteger("I", 0xFFFFFFFFu);
  Reg.WriteString("S", "h\xC3\xA9llo");  // UTF-8 through the ANSI functions
  Reg.WriteBinary("Bin", Bytes, sizeof Bytes);

  TRegistry Other(HKEY_CURRENT_USER);
  ASSERT_TRUE(Other.OpenKey(Key.Path(), false));
  EXPECT_EQ(Key.Dword("B"), 1u);
  EXPECT_EQ(Other.ReadInteger("I"), 0xFFFFFFFFu);
  EXPECT_EQ(Other.ReadString("S"), "h\xC3\xA9llo");
  EXPECT_EQ(Other.ReadBinary("Bin"), std::vector<std::uint8_t>(Bytes, Bytes + 4));
}

TEST_F(RegistryTest, FailedWriteRaisesWithValueName) {
  ASSERT_TRUE(Reg.OpenKey(Key.Path(), true));
  ASSERT_TRUE(TRegistry(HKEY_CURRENT_USER).DeleteKey(Key.Path()));  // pulled from under the open key
  try {
    Reg.WriteString("Lost", "x");
    FAIL() << "no exception";
  } catch (const ERegistryException& E) {
    EXPECT_STREQ(E.what(), "Failed to set data for 'Lost'");
    EXPECT_STREQ(E.ClassName(), "ERegistryException");
  }
  TRegistry Closed;
  EXPECT_THROW(Closed.WriteBool("NoKey", true), ERegistryException);
}

TEST_F(RegistryTest, EnumeratesDeletesValuesAndKeysRecursively) {
  Key.SetDword("b", 1);
  Key.SetString("a", "x");
  Key.SetDword("Deep", 1, "Child\\Grandchild");
  Key.CreateKey("Other");
  ASSERT_TRUE(Reg.OpenKey(Key.Path(), false));
  auto Values = Reg.GetValueNames();
  std::sort(Values.begin(), Values.end());
  EXPECT_THAT(Values, ElementsAre("a", "b"));
  auto Keys = Reg.GetKeyNames();
  std::sort(Keys.begin(), Keys.end());
  EXPECT_THAT(Keys, ElementsAre("Child", "Other"));

  EXPECT_TRUE(Reg.DeleteValue("a"));
  EXPECT_FALSE(Reg.DeleteValue("a"));
  EXPECT_FALSE(Key.HasValue("a"));

  EXPECT_TRUE(Reg.DeleteKey(Key.Sub("Child")));
  EXPECT_FALSE(Key.Exists("Child"));
  EXPECT_TRUE(Key.Exists("Other"));
  EXPECT_FALSE(Reg.DeleteKey(""));  // never the root
}

TEST_F(RegistryTest, EnumerationOfNoKeyIsEmpty) {
  EXPECT_TRUE(Reg.GetValueNames().empty());
  EXPECT_TRUE(Reg.GetKeyNames().empty());
  EXPECT_FALSE(Reg.ReadString("x"));
}

// A key that everybody may read but nobody may change: what a standard user
// meets in machine-wide keys, or in settings an administrator locked.
TEST_F(RegistryTest, AReadOnlyKeyOpensForReading) {
  Key.SetString("FirstTime", "1", "Locked");
  // The owner may always change the key's permissions.
  auto Permit = [&](const char* Sddl) {
    TRegKey Locked;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.Sub("Locked").c_str(), 0, WRITE_DAC, Locked.put()),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(Sddl, SDDL_REVISION_1,
                                                                     &Descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(Locked.get(), DACL_SECURITY_INFORMATION, Descriptor), ERROR_SUCCESS);
    LocalFree(Descriptor);
  };
  Permit("D:P(A;;KR;;;WD)");
  const bool Enforced = !Reg.OpenKey(Key.Sub("Locked"), false);
  EXPECT_TRUE(Reg.OpenKeyReadOnly(Key.Sub("Locked")));
  EXPECT_EQ(Reg.ReadString("FirstTime"), "1");
  Reg.CloseKey();
  Permit("D:P(A;;KA;;;WD)");  // so that the test's key can go
  if (!Enforced) GTEST_SKIP() << "this system grants full access to a read-only key";
}

}  // namespace
