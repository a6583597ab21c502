// Owner registrations, the progress callback and the running flag of the exported interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "TestSupport.h"
#include "tools/sevenzip/SevenZipApi.h"

namespace sevenzip::test {
namespace {

struct Call {
    void* owner;
    unsigned message;
    unsigned state;
    std::string entry;
    bool runningDuringCall;
};

std::mutex g_callsMutex;
std::vector<Call> g_calls;
int g_cancelAfterEntries = -1;  // -1: never

int SYS_WINAPI Record(sys::WindowHandle owner, unsigned message, unsigned state, void* info) {
    const auto* progress = static_cast<const ProgressInfo*>(info);
    std::lock_guard lock(g_callsMutex);
    g_calls.push_back({owner, message, state, progress->entryName, SevenZipGetRunning() != 0});
    if (state == ProgressEntry && g_cancelAfterEntries >= 0) {
        return g_cancelAfterEntries-- > 0 ? 1 : 0;
    }
    return 1;
}

class ExportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_calls.clear();
        g_cancelAfterEntries = -1;
        WriteFile(source_ / "a.txt", "alpha");
        WriteFile(source_ / "d/b.txt", std::string(300000, 'b'));
        WriteFile(source_ / "d/c.txt", "gamma");
        ASSERT_TRUE(Make7z(source_, archive_));
    }
    void TearDown() override {
        for (void* owner : {kOwner, kOther}) {
            SevenZipKillOwnerWindowEx(owner);
        }
    }

    int Run(void* owner, const fs::path& dest) {
        char output[512];
        return ::SevenZip(owner, CommandFor(archive_, dest).c_str(), output, sizeof output);
    }

    void* const kOwner = reinterpret_cast<void*>(0x1010);
    void* const kOther = reinterpret_cast<void*>(0x2020);
    TempDir tmp_;
    fs::path source_ = tmp_ / "src";
    fs::path archive_ = tmp_ / "pkg.7z";
};

TEST_F(ExportsTest, CallbackSeesEveryEntryBetweenBeginAndEnd) {
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOwner, &Record));
    ASSERT_EQ(Run(kOwner, tmp_ / "out"), Ok);
    ASSERT_GE(g_calls.size(), 2u);
    EXPECT_EQ(g_calls.front().state, ProgressBegin);
    EXPECT_EQ(g_calls.front().entry, archive_.string());
    EXPECT_EQ(g_calls.back().state, ProgressEnd);
    std::vector<std::string> entries;
    for (const Call& call : g_calls) {
        EXPECT_EQ(call.owner, kOwner);
        EXPECT_EQ(call.message, kProgressMessage);
        EXPECT_TRUE(call.runningDuringCall);
        if (call.state == ProgressEntry) {
            entries.push_back(call.entry);
        }
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"a.txt", "d/", "d/b.txt", "d/c.txt"}));
    EXPECT_FALSE(SevenZipGetRunning());
}

std::vector<ProgressInfo> g_infos;
std::vector<std::string> g_names;

int SYS_WINAPI Keep(sys::WindowHandle, unsigned, unsigned, void* info) {
    g_infos.push_back(*static_cast<ProgressInfo*>(info));
    g_names.emplace_back(g_infos.back().entryName);
    return 1;
}

TEST_F(ExportsTest, ProgressInfoCountsBytes) {
    auto& infos = g_infos;
    auto& names = g_names;
    infos.clear();
    names.clear();
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOwner, &Keep));
    ASSERT_EQ(Run(kOwner, tmp_ / "out"), Ok);
    const ProgressInfo& last = infos.back();
    EXPECT_EQ(last.structSize, sizeof(ProgressInfo));
    EXPECT_EQ(last.bytesWritten, 300000u + 5 + 5);
    EXPECT_EQ(last.archiveSize, fs::file_size(archive_));
    EXPECT_GT(last.archiveRead, 0u);
    EXPECT_LE(last.archiveRead, last.archiveSize);
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (names[i] == "d/b.txt") {
            EXPECT_EQ(infos[i].entrySize, 300000u);
        }
        if (i > 0) {
            EXPECT_GE(infos[i].bytesWritten, infos[i - 1].bytesWritten);
        }
    }
}

TEST_F(ExportsTest, FalseFromTheCallbackCancels) {
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOwner, &Record));
    g_cancelAfterEntries = 1;
    char output[256];
    EXPECT_EQ(::SevenZip(kOwner, CommandFor(archive_, tmp_ / "out").c_str(), output, sizeof output),
              Cancelled);
    EXPECT_NE(std::string(output).find("Cancelled"), std::string::npos) << output;
    // The second entry was announced and refused; nothing after it was announced.
    EXPECT_EQ(std::count_if(g_calls.begin(), g_calls.end(),
                            [](const Call& c) { return c.state == ProgressEntry; }),
              2);
    EXPECT_LT(ListTree(tmp_ / "out").size(), 4u);
}

TEST_F(ExportsTest, RegistrationsArePerOwner) {
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOther, &Record));
    ASSERT_EQ(Run(kOwner, tmp_ / "out"), Ok);
    EXPECT_TRUE(g_calls.empty());

    EXPECT_TRUE(SevenZipKillOwnerWindowEx(kOther));
    EXPECT_FALSE(SevenZipKillOwnerWindowEx(kOther));
    ASSERT_EQ(Run(kOther, tmp_ / "out"), Ok);
    EXPECT_TRUE(g_calls.empty());

    // Registering again replaces the callback rather than adding one.
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOwner, &Record));
    ASSERT_TRUE(SevenZipSetOwnerWindowEx(kOwner, &Record));
    ASSERT_EQ(Run(kOwner, tmp_ / "out"), Ok);
    EXPECT_EQ(std::count_if(g_calls.begin(), g_calls.end(),
                            [](const Call& c) { return c.state == ProgressBegin; }),
              1);
}

TEST_F(ExportsTest, ConcurrentCallersEachGetTheirOwnCallbacks) {
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<int> results(kThreads, -1);
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            void* owner = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5000 + i));
            SevenZipSetOwnerWindowEx(owner, &Record);
            results[i] = Run(owner, tmp_ / ("out" + std::to_string(i)));
            SevenZipKillOwnerWindowEx(owner);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::map<void*, int> begins;
    for (const Call& call : g_calls) {
        begins[call.owner] += call.state == ProgressBegin ? 1 : 0;
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(results[i], Ok);
        EXPECT_EQ(ReadFile(tmp_ / ("out" + std::to_string(i)) / "d/c.txt"), "gamma");
        EXPECT_EQ(begins[reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5000 + i))], 1);
    }
    EXPECT_EQ(begins.size(), static_cast<std::size_t>(kThreads));
    EXPECT_FALSE(SevenZipGetRunning());
}

}  // namespace
}  // namespace sevenzip::test
