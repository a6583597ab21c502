// Conformance of the token privilege calls: the process token, privilege names, enabling one.
#include <cstdint>

#include "platform/Security.h"
#include "platform/SystemInfo.h"
#include "tests/conformance/Conformance.h"

namespace {

using conformance::kMarker;
using sys::Dword;

class SecurityConformance : public conformance::Test {
  protected:
    static sys::TOKEN_PRIVILEGES One(Dword luid, Dword attributes) {
        sys::TOKEN_PRIVILEGES state;
        state.PrivilegeCount = 1;
        state.Privileges[0].Luid = sys::LUID{luid, 0};
        state.Privileges[0].Attributes = attributes;
        return state;
    }
};

// The LUIDs of the well-known privileges (SE_*_PRIVILEGE), the same on every system.
struct PrivilegeRow {
    const char* name;
    Dword luid;
};

TEST_F(SecurityConformance, KnownPrivilegesHaveTheirFixedLuids) {
    const PrivilegeRow rows[] = {
        {"SeLoadDriverPrivilege", 10},   {"seloaddriverprivilege", 10}, {"SeBackupPrivilege", 17},
        {"SeRestorePrivilege", 18},      {"SeShutdownPrivilege", 19},   {"SeDebugPrivilege", 20},
        {"SeChangeNotifyPrivilege", 23},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sys::LUID luid{kMarker, -1};
        EXPECT_NE(0, sys::LookupPrivilegeValueA(nullptr, row.name, &luid)) << sys::GetLastError();
        EXPECT_EQ(row.luid, luid.LowPart);
        EXPECT_EQ(0, luid.HighPart);
    }
    for (const char* unknown : {"SeNoSuchPrivilege", "", "LoadDriver"}) {
        SCOPED_TRACE(unknown);
        sys::LUID luid;
        sys::SetLastError(kMarker);
        EXPECT_EQ(0, sys::LookupPrivilegeValueA(nullptr, unknown, &luid));
        EXPECT_EQ(sys::err::NoSuchPrivilege, sys::GetLastError());  // 1313
    }
}

TEST_F(SecurityConformance, EnableLoadDriverPrivilege) {
    sys::Handle token;
    ASSERT_NE(
        0, sys::OpenProcessToken(sys::GetCurrentProcess(),
                                 sys::token::AdjustPrivileges | sys::token::Query, token.Receive()))
        << sys::GetLastError();
    ASSERT_TRUE(token);

    // Success always sets the last error: 0 when assigned, 1300 when the token lacks it.
    sys::TOKEN_PRIVILEGES off = One(10, 0);
    sys::SetLastError(kMarker);
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &off, 0, nullptr, nullptr));
    const Dword held = sys::GetLastError();
    ASSERT_TRUE(held == sys::err::Success || held == sys::err::NotAllAssigned) << held;
    if (conformance::OnSim()) {
        EXPECT_EQ(sys::err::Success, held);  // the sim's token is an administrator's
    }
    if (held != sys::err::Success) {
        GTEST_SKIP() << "this token does not hold SeLoadDriverPrivilege";
    }

    // Enabling it reports the state it had before: disabled.
    sys::TOKEN_PRIVILEGES on = One(10, sys::token::PrivilegeEnabled);
    sys::TOKEN_PRIVILEGES previous = One(kMarker, kMarker);
    Dword length = kMarker;
    sys::SetLastError(kMarker);
    ASSERT_NE(0,
              sys::AdjustTokenPrivileges(token.Get(), 0, &on, sizeof previous, &previous, &length));
    EXPECT_EQ(sys::err::Success, sys::GetLastError());
    EXPECT_EQ(1u, previous.PrivilegeCount);
    EXPECT_EQ(10u, previous.Privileges[0].Luid.LowPart);
    EXPECT_EQ(0u, previous.Privileges[0].Attributes & sys::token::PrivilegeEnabled);
}

TEST_F(SecurityConformance, UnchangedPrivilegeIsNotReported) {
    WINE_DIFFERS("Wine lists a privilege in the previous state even when it did not change");
    sys::Handle token;
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(),
                                       sys::token::AdjustPrivileges | sys::token::Query,
                                       token.Receive()));
    sys::TOKEN_PRIVILEGES on = One(10, sys::token::PrivilegeEnabled);
    sys::SetLastError(kMarker);
    ASSERT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &on, 0, nullptr, nullptr));
    if (sys::GetLastError() != sys::err::Success) {
        GTEST_SKIP() << "this token does not hold SeLoadDriverPrivilege";
    }
    // Enabling it again changes nothing, so nothing is reported.
    sys::TOKEN_PRIVILEGES previous = One(kMarker, kMarker);
    Dword length = kMarker;
    ASSERT_NE(0,
              sys::AdjustTokenPrivileges(token.Get(), 0, &on, sizeof previous, &previous, &length));
    EXPECT_EQ(0u, previous.PrivilegeCount);
}

TEST_F(SecurityConformance, AdjustFailures) {
    // A privilege no token holds: success, with 1300 (ERROR_NOT_ALL_ASSIGNED).
    sys::Handle token;
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), sys::token::AdjustPrivileges,
                                       token.Receive()));
    sys::TOKEN_PRIVILEGES bogus = One(0x7fff, sys::token::PrivilegeEnabled);
    sys::SetLastError(kMarker);
    EXPECT_NE(0, sys::AdjustTokenPrivileges(token.Get(), 0, &bogus, 0, nullptr, nullptr));
    EXPECT_EQ(sys::err::NotAllAssigned, sys::GetLastError());

    // A token opened for queries only cannot be adjusted.
    sys::Handle queryOnly;
    ASSERT_NE(
        0, sys::OpenProcessToken(sys::GetCurrentProcess(), sys::token::Query, queryOnly.Receive()));
    sys::TOKEN_PRIVILEGES on = One(10, sys::token::PrivilegeEnabled);
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::AdjustTokenPrivileges(queryOnly.Get(), 0, &on, 0, nullptr, nullptr));
    EXPECT_EQ(sys::err::AccessDenied, sys::GetLastError());
}

TEST_F(SecurityConformance, TokenHandlesOpenAndCloseOnce) {
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), sys::token::Query, &first));
    ASSERT_NE(0, sys::OpenProcessToken(sys::GetCurrentProcess(), sys::token::Query, &second));
    EXPECT_NE(nullptr, first);
    EXPECT_NE(first, second);
    EXPECT_NE(0, sys::CloseHandle(first));
    EXPECT_NE(0, sys::CloseHandle(second));

    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::CloseHandle(first));  // already closed
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::CloseHandle(nullptr));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());

    // A process handle that is no handle at all.
    void* token = nullptr;
    sys::SetLastError(kMarker);
    EXPECT_EQ(0, sys::OpenProcessToken(reinterpret_cast<void*>(std::uintptr_t{0x7ff0}),
                                       sys::token::Query, &token));
    EXPECT_EQ(sys::err::InvalidHandle, sys::GetLastError());
}

}  // namespace
