// The in-memory registry's own rules, beyond what the script cases reach.
#include "memory_registry.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const RegKey kClasses = RootKey(RegistryRoot::ClassesRoot);

TEST(InMemoryRegistry, KeepsADeletedKeyReachableOnlyThroughItsOpenHandle) {
    InMemoryRegistry registry;
    RegKey key, child;
    ASSERT_EQ(registry.Create(kClasses, "K", KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteKey(kClasses, "K"), ERROR_SUCCESS);
    EXPECT_EQ(registry.Open(kClasses, "K", KEY_READ, &child), ERROR_FILE_NOT_FOUND);
    const BYTE data[] = {'x', 0};
    EXPECT_EQ(registry.SetValue(key, "v", REG_SZ, data, 2), ERROR_KEY_DELETED);
    EXPECT_EQ(registry.Create(key, "C", KEY_READ | KEY_WRITE, &child), ERROR_KEY_DELETED);
    EXPECT_EQ(registry.Open(key, nullptr, KEY_READ, &child), ERROR_KEY_DELETED);
    DWORD count;
    EXPECT_EQ(registry.CountSubkeys(key, &count), ERROR_KEY_DELETED);
    EXPECT_EQ(registry.DeleteKey(key, "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(registry.Close(key), ERROR_SUCCESS);
    EXPECT_EQ(registry.Close(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(InMemoryRegistry, ChecksTheAccessOfEachHandle) {
    InMemoryRegistry registry;
    RegKey key, readOnly, writeOnly, child;
    ASSERT_EQ(registry.Create(kClasses, "K", KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    ASSERT_EQ(registry.Create(key, "Sub", KEY_READ, &child), ERROR_SUCCESS);
    registry.Close(child);
    ASSERT_EQ(registry.Open(kClasses, "K", KEY_READ, &readOnly), ERROR_SUCCESS);
    ASSERT_EQ(registry.Open(kClasses, "K", KEY_WRITE, &writeOnly), ERROR_SUCCESS);
    const BYTE data[] = {1, 0, 0, 0};
    EXPECT_EQ(registry.SetValue(readOnly, "v", REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.SetValue(writeOnly, "v", REG_DWORD, data, 4), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteValue(readOnly, "v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Create(readOnly, "New", KEY_READ, &child), ERROR_ACCESS_DENIED);
    std::string name;
    EXPECT_EQ(registry.EnumFirstSubkey(writeOnly, &name), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.EnumFirstSubkey(readOnly, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, "Sub");
    DWORD count = 0;
    EXPECT_EQ(registry.CountSubkeys(writeOnly, &count), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.CountSubkeys(readOnly, &count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(registry.DeleteValue(writeOnly, "v"), ERROR_SUCCESS);
    EXPECT_EQ(registry.DeleteValue(writeOnly, "v"), ERROR_FILE_NOT_FOUND);
    for (RegKey open : {key, readOnly, writeOnly}) {
        EXPECT_EQ(registry.Close(open), ERROR_SUCCESS);
    }
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(InMemoryRegistry, RefusesWhatThePlatformRefuses) {
    InMemoryRegistry registry;
    RegKey key;
    EXPECT_EQ(registry.Create(kClasses, std::string(257, 'k').c_str(), KEY_READ, &key),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(registry.Open(kClasses, std::string(261, 'k').c_str(), KEY_READ, &key),
              ERROR_MORE_DATA);
    EXPECT_EQ(registry.DeleteKey(kClasses, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Open(0x1234, "K", KEY_READ, &key), ERROR_INVALID_HANDLE);
    const BYTE data[] = {0};
    EXPECT_EQ(registry.SetValue(kClasses, std::string(16384, 'v').c_str(), REG_SZ, data, 1),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(registry.SetValue(kClasses, std::string(16383, 'v').c_str(), REG_SZ, data, 1),
              ERROR_SUCCESS);
    // With no name, Open and Create give a new handle to the key itself, and DeleteKey deletes it.
    RegKey parent, self;
    ASSERT_EQ(registry.Create(kClasses, "P", KEY_READ | KEY_WRITE, &parent), ERROR_SUCCESS);
    ASSERT_EQ(registry.Open(parent, "", KEY_READ, &self), ERROR_SUCCESS);
    EXPECT_NE(self, parent);
    EXPECT_EQ(registry.DeleteKey(parent, ""), ERROR_SUCCESS);
    EXPECT_EQ(registry.Open(kClasses, "P", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    registry.Close(self);
    registry.Close(parent);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// A name of several levels is a path, walked as the platform walks it.
TEST(InMemoryRegistry, OpensAndCreatesNamesOfSeveralLevels) {
    InMemoryRegistry registry;
    RegKey key;
    EXPECT_EQ(registry.Open(kClasses, "a\\b", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(registry.Create(kClasses, "a\\b\\c", KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_EQ(registry.KeyPath(key), "HKEY_CLASSES_ROOT\\a\\b\\c");
    EXPECT_EQ(registry.Close(key), ERROR_SUCCESS);
    // The levels above were opened only to go on below them, and closed again.
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    ASSERT_EQ(registry.Open(kClasses, "A\\B", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(registry.KeyPath(key), "HKEY_CLASSES_ROOT\\a\\b");
    registry.Close(key);
    EXPECT_EQ(registry.Open(kClasses, "a\\x\\c", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    // The rights asked for apply to the last level: a read-only key above does not refuse them,
    // a read-only key at the end does.
    ASSERT_TRUE(registry.DenyWrite("HKEY_CLASSES_ROOT\\a"));
    ASSERT_EQ(registry.Open(kClasses, "a\\b", KEY_SET_VALUE, &key), ERROR_SUCCESS);
    registry.Close(key);
    EXPECT_EQ(registry.Open(kClasses, "a", KEY_SET_VALUE, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Create(kClasses, "a\\new", KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.OpenHandleCount(), 0u);

    // In a double-byte code page, a trail byte 0x5C is not a backslash.
    InMemoryRegistry japanese(CodePageText::Japanese());
    ASSERT_EQ(japanese.Create(kClasses, "\x83\x5C\\k", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(japanese.KeyPath(key), "HKEY_CLASSES_ROOT\\\x83\x5C\\k");
    japanese.Close(key);
}

TEST(InMemoryRegistry, InjectsFailuresByNumberAndByKey) {
    InMemoryRegistry registry;
    RegKey key;
    registry.FailOperation(registry.OperationCount() + 2, ERROR_OUTOFMEMORY);
    EXPECT_EQ(registry.Create(kClasses, "A", KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_EQ(registry.Close(key), ERROR_OUTOFMEMORY);  // closed all the same
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_EQ(registry.Create(kClasses, "B", KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
    registry.Close(key);

    registry.FailOn(InMemoryRegistry::Operation::Open, "hkey_classes_root\\a", ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Open(kClasses, "A", KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Open(kClasses, "B", KEY_READ, &key), ERROR_SUCCESS);
    registry.Close(key);
    // A failure changes nothing.
    registry.FailOn(InMemoryRegistry::Operation::DeleteKey, "HKEY_CLASSES_ROOT\\B", 1);
    EXPECT_EQ(registry.DeleteKey(kClasses, "B"), 1);
    EXPECT_EQ(registry.Snapshot().size(), 2u);

    EXPECT_FALSE(registry.DenyWrite("HKEY_CLASSES_ROOT\\Missing"));
    EXPECT_TRUE(registry.DenyWrite("HKEY_CLASSES_ROOT\\B"));
    EXPECT_EQ(registry.Open(kClasses, "B", KEY_READ | KEY_WRITE, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.Open(kClasses, "B", KEY_READ, &key), ERROR_SUCCESS);
    registry.Close(key);
}

}  // namespace
}  // namespace tw::test
