// Smoke test of the Windows HID access against the HID interfaces the system offers (under wine:
// its own mouse and keyboard). No board is attached, and nothing here may block: input is only
// ever read with a bound.
#include "device/device_strings.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "device/windows/wide_text.h"

#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace korvex {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> allPaths(HidPlatform& platform) {
    std::vector<std::string> paths;
    const auto walk = platform.walkInterfaces();
    std::string path;
    for (std::uint32_t index = 0; walk->interfacePath(index, path); ++index) paths.push_back(path);
    return paths;
}

HANDLE toWin(HidHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// The rights the system granted on a handle, as it checks them on every call.
ACCESS_MASK grantedAccess(HidHandle handle) {
    PUBLIC_OBJECT_BASIC_INFORMATION info{};
    if (!NT_SUCCESS(NtQueryObject(toWin(handle), ObjectBasicInformation, &info, sizeof info, nullptr))) return ~0u;
    return info.GrantedAccess;
}

// A handle the platform never hands out for another device: one that may read its input.
HidHandle openForReading(const std::string& path) {
    return reinterpret_cast<HidHandle>(CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                   FILE_FLAG_OVERLAPPED, nullptr));
}

class WindowsHidPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths_ = allPaths(*platform_);
        ASSERT_FALSE(paths_.empty()) << "the system lists no HID interface";
    }

    // Opens every interface, hands each open handle to `check`, and closes it again.
    template <typename Check>
    void forEachOpen(Check check) {
        for (const std::string& path : paths_) {
            SCOPED_TRACE(path);
            const HidHandle handle = platform_->open(path);
            ASSERT_NE(handle, kInvalidHandle);
            check(handle);
            platform_->close(handle);
        }
    }

    std::unique_ptr<HidPlatform> platform_ = makeSystemHidPlatform();
    std::vector<std::string> paths_;
};

TEST_F(WindowsHidPlatformTest, WalkListsEveryInterfaceOnceAndStaysEndedPastTheLast) {
    for (const std::string& path : paths_) EXPECT_FALSE(path.empty());
    std::vector<std::string> sorted = paths_;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());

    // A second walk sees the same interfaces in the same order; past the end stays ended.
    EXPECT_EQ(allPaths(*platform_), paths_);
    const auto walk = platform_->walkInterfaces();
    std::string path = "stale";
    const auto end = static_cast<std::uint32_t>(paths_.size());
    EXPECT_FALSE(walk->interfacePath(end, path));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(walk->interfacePath(end + 7, path));
    EXPECT_TRUE(walk->interfacePath(0, path));
    EXPECT_EQ(path, paths_.front());
}

TEST_F(WindowsHidPlatformTest, OpenSharesTheInterfaceAndRefusesBadPaths) {
    const HidHandle first = platform_->open(paths_.front());
    const HidHandle second = platform_->open(paths_.front());
    EXPECT_NE(first, kInvalidHandle);
    EXPECT_NE(second, kInvalidHandle);
    EXPECT_NE(first, second);
    platform_->close(second);
    platform_->close(first);

    EXPECT_EQ(platform_->open(""), kInvalidHandle);
    EXPECT_EQ(platform_->open(paths_.front() + "-unplugged"), kInvalidHandle);
    platform_->close(kInvalidHandle);  // harmless
}

// The system's own devices are walked and identified, yet never opened for reading or writing,
// and no handle passes to a program this one starts.
TEST_F(WindowsHidPlatformTest, OtherDevicesAreOpenedOnlyToReadTheirIdentity) {
    forEachOpen([&](HidHandle handle) {
        HidAttributes attributes;
        attributes.vendorId = attributes.productId = 0xFFFF;
        ASSERT_TRUE(platform_->getAttributes(handle, attributes));
        EXPECT_NE(attributes.vendorId, 0xFFFF);
        EXPECT_FALSE(attributes.vendorId == kBoardVendorId && attributes.productId == kBoardProductId);

        HidCaps caps;
        ASSERT_TRUE(platform_->getCaps(handle, caps));
        EXPECT_GT(caps.inputReportLength, 0);

        const ACCESS_MASK access = grantedAccess(handle);
        EXPECT_EQ(access & (FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_READ | GENERIC_WRITE), 0u)
            << std::hex << access;
        std::array<std::uint8_t, 64> report{};
        DWORD written = 0;
        EXPECT_FALSE(WriteFile(toWin(handle), report.data(), 1, &written, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(platform_->readInput(handle, report, 100ms), InputRead::Gone);

        DWORD flags = ~0u;
        ASSERT_TRUE(GetHandleInformation(toWin(handle), &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    });
    EXPECT_EQ(platform_->lastOpenError(), 0);  // another device's interface is no refused board
}

TEST_F(WindowsHidPlatformTest, DeviceStringsComeBackAsUtf8) {
    int productsRead = 0;
    forEachOpen([&](HidHandle handle) {
        std::string product;
        if (!platform_->getString(handle, HidString::Product, product)) return;
        ++productsRead;
        EXPECT_FALSE(product.empty());
        EXPECT_EQ(product.find('\0'), std::string::npos);
        EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(product)), product);  // whole UTF-8
    });
    EXPECT_GT(productsRead, 0);
}

// Read through a handle opened for reading here, since the platform opens none for another device.
TEST_F(WindowsHidPlatformTest, BoundedReadGivesUpInTimeAndLeavesTheHandleUsable) {
    for (const std::string& path : paths_) {
        SCOPED_TRACE(path);
        const HidHandle handle = openForReading(path);
        ASSERT_NE(handle, kInvalidHandle);
        HidCaps caps;
        ASSERT_TRUE(platform_->getCaps(handle, caps));
        std::vector<std::uint8_t> report(caps.inputReportLength);
        for (int round = 0; round < 2; ++round) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(platform_->readInput(handle, report, 100ms), InputRead::NoneYet);
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_GE(took, 90ms);
            EXPECT_LT(took, 2s);
        }
        HidAttributes attributes;
        EXPECT_TRUE(platform_->getAttributes(handle, attributes));
        EXPECT_EQ(platform_->readInput(handle, {}, 100ms), InputRead::Gone);
        platform_->close(handle);
    }
    std::array<std::uint8_t, 8> report{};
    EXPECT_EQ(platform_->readInput(kInvalidHandle, report, 100ms), InputRead::Gone);
}

// No board is attached: discovery walks every interface and lists nothing, leaving nothing open.
TEST_F(WindowsHidPlatformTest, DiscoveryFindsNoBoardAmongTheSystemsDevices) {
    DeviceSession session;
    EXPECT_TRUE(scanBoards(*platform_, session).empty());
    EXPECT_EQ(session.deviceHandle, kInvalidHandle);

    EXPECT_FALSE(openBoard(*platform_, session, ""));
    EXPECT_EQ(session.connection, Connection::Closed);
    EXPECT_EQ(session.deviceHandle, kInvalidHandle);
    EXPECT_EQ(session.devicePath, paths_.back());
}

}  // namespace
}  // namespace korvex
