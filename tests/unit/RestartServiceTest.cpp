// Service control: which requests each mode makes in each state, and that every wait pauses
// and ends within its bound on the simulated clock.
#include "install/RestartService.h"

#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "tests/unit/SimFixture.h"

namespace {

using sim::service::State;

const std::string kSpooler = "Spooler";

class RestartServiceTest : public SimTest {
  protected:
    bool Run(int mode) {
        return install::RestartService(
            kSpooler, mode, [this](const std::string& text) { reports.push_back(text); });
    }
    std::vector<std::string> reports;
};

}  // namespace

TEST_F(RestartServiceTest, StartOnlyLeavesARunningServiceAlone) {
    EXPECT_TRUE(Run(install::kStartOnly));
    EXPECT_EQ(sim::service::QueryCount(kSpooler), 1);
    EXPECT_EQ(sim::service::StartRequests(kSpooler), 0);
    EXPECT_EQ(sim::service::StopRequests(kSpooler), 0);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(sim::service::OpenHandleCount(), 0);
}

TEST_F(RestartServiceTest, RestartStopsThenStartsARunningService) {
    EXPECT_TRUE(Run(0));
    EXPECT_EQ(sim::service::StopRequests(kSpooler), 1);
    EXPECT_EQ(sim::service::StartRequests(kSpooler), 1);
    EXPECT_EQ(sim::service::GetState(kSpooler), State::Running);
    EXPECT_TRUE(reports.empty());
    // Two pending states of 300 ms, polled with pauses: a few queries, not thousands.
    EXPECT_GE(sim::TotalSleep(), 600u);
    EXPECT_LT(sim::service::QueryCount(kSpooler), 30);
    // One handle for the queries, one for the stop and the start.
    EXPECT_EQ(sim::CallCount("OpenServiceA"), 2);
    EXPECT_EQ(sim::CallCount("CloseServiceHandle"), 3);
    EXPECT_EQ(sim::service::OpenHandleCount(), 0);
}

TEST_F(RestartServiceTest, AStoppedServiceIsOnlyStartedInEitherMode) {
    for (int mode : {0, install::kStartOnly}) {
        sim::Reset();
        sim::service::SetState(kSpooler, State::Stopped);
        EXPECT_TRUE(Run(mode)) << mode;
        EXPECT_EQ(sim::service::StartRequests(kSpooler), 1) << mode;
        EXPECT_EQ(sim::service::StopRequests(kSpooler), 0) << mode;
        EXPECT_EQ(sim::service::GetState(kSpooler), State::Running) << mode;
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(RestartServiceTest, AServiceThatNeverRunsEndsTheWaitAtItsBound) {
    sim::service::SetState(kSpooler, State::Stopped);
    sim::service::SetNeverStarts(kSpooler, true);
    const sys::Dword before = sim::Now();
    EXPECT_FALSE(Run(install::kStartOnly));
    const sys::Dword waited = sim::Now() - before;
    EXPECT_GE(waited, install::kServiceWaitMs);
    EXPECT_LT(waited, install::kServiceWaitMs + 1000);
    EXPECT_EQ(reports, std::vector<std::string>{"Service status is unknown"});
    EXPECT_EQ(sim::service::OpenHandleCount(), 0);
}

// The stop wait running out does not leave the service stopped: the start is asked for all the
// same, refused while the service is still stopping (1056), and asked for again once it stopped.
TEST_F(RestartServiceTest, AStopThatOutlastsItsWaitIsStillFollowedByAStart) {
    struct Case {
        const char* what;
        sys::Dword stopTime;
        bool refusesStop;
        bool restarted;
        State state;
        int starts;
    };
    const Case cases[] = {
        {"stops after 31 s", 31000, false, true, State::Running, 2},
        {"never stops", 300, true, false, State::StopPending, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Reset();
        reports.clear();
        sim::service::SetStopPendingTime(kSpooler, c.stopTime);
        sim::service::SetRefusesStop(kSpooler, c.refusesStop);
        const sys::Dword before = sim::Now();
        EXPECT_EQ(Run(0), c.restarted);
        EXPECT_LT(sim::Now() - before, 2 * install::kServiceWaitMs + 1000);
        EXPECT_EQ(sim::service::GetState(kSpooler), c.state);
        EXPECT_EQ(sim::service::StopRequests(kSpooler), 1);
        EXPECT_EQ(sim::service::StartRequests(kSpooler), c.starts);
        EXPECT_EQ(reports, c.restarted ? std::vector<std::string>{}
                                       : std::vector<std::string>{"Service status is unknown"});
        EXPECT_EQ(sim::service::OpenHandleCount(), 0);
    }
}

TEST_F(RestartServiceTest, ADisabledServiceFailsAtOnceWithoutWaitingOutTheBound) {
    sim::service::SetState(kSpooler, State::Stopped);
    sim::service::SetDisabled(kSpooler, true);
    EXPECT_FALSE(Run(install::kStartOnly));
    EXPECT_EQ(sim::TotalSleep(), 0u);
    EXPECT_EQ(sim::service::GetState(kSpooler), State::Stopped);
    EXPECT_EQ(reports, std::vector<std::string>{"Service status is unknown"});
}

TEST_F(RestartServiceTest, AFailedStatusQueryIsReportedOnceAndNothingIsStarted) {
    sim::service::SetQueryFails(kSpooler, true);
    EXPECT_FALSE(Run(install::kStartOnly));
    EXPECT_EQ(reports, std::vector<std::string>{"Service status is unknown"});
    EXPECT_EQ(sim::service::StartRequests(kSpooler), 0);

    // An unknown state is not acted on: a stop now could not be followed by a start.
    reports.clear();
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(reports, std::vector<std::string>{"Service status is unknown"});
    EXPECT_EQ(sim::service::StopRequests(kSpooler), 0);
    EXPECT_EQ(sim::TotalSleep(), 0u);
    EXPECT_EQ(sim::service::OpenHandleCount(), 0);
}

TEST_F(RestartServiceTest, AMissingServiceOrManagerIsReportedAndNothingHangs) {
    EXPECT_FALSE(install::RestartService("NoSuchService", 0,
                                         [this](const std::string& t) { reports.push_back(t); }));
    sim::FailCall("OpenSCManagerA", sys::err::AccessDenied);
    EXPECT_FALSE(Run(install::kStartOnly));
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(sim::TotalSleep(), 0u);
    EXPECT_EQ(sim::service::OpenHandleCount(), 0);
}
