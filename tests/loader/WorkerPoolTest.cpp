// The worker pool and the background loader: queueing, idle release, calls into the
// creating thread, failures, and shutting down while work is under way.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "docdata/Exception.h"
#include "hostlink/HostCallCancel.h"
#include "tests/support/CallQueue.h"
#include "tests/support/Gate.h"
#include "ui/ASyncLoader.h"
#include "ui/WorkerThreadPool.h"

using namespace dz;
using dz::test::CallQueue;
using dz::test::Gate;

namespace {

// The test's own thread plays the user-interface thread.
std::thread::id gMain;
bool OnMain() {
  return std::this_thread::get_id() == gMain;
}

// What the jobs did, in order, from whichever thread.
class Log {
 public:
  void Add(const std::string& s) {
    std::lock_guard<std::mutex> g(m_);
    lines_.push_back(s);
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> g(m_);
    return lines_;
  }
  bool Has(const std::string& s) {
    auto l = Lines();
    return std::find(l.begin(), l.end(), s) != l.end();
  }
  int IndexOf(const std::string& s) {
    auto l = Lines();
    auto it = std::find(l.begin(), l.end(), s);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
  }
  void SetThread(const std::string& job, std::thread::id id) {
    std::lock_guard<std::mutex> g(m_);
    threads_.emplace_back(job, id);
  }
  std::thread::id ThreadOf(const std::string& job) {
    std::lock_guard<std::mutex> g(m_);
    for (auto& [j, id] : threads_)
      if (j == job) return id;
    return {};
  }

 private:
  std::mutex m_;
  std::vector<std::string> lines_;
  std::vector<std::pair<std::string, std::thread::id>> threads_;
};

enum class Fail { None, InExecute, InCompleted, InCompletedOther };

class TestJob : public TWorkerThreadJob {
 public:
  TestJob(std::string name, Log& log, Gate* gate = nullptr, Fail fail = Fail::None)
      : name_(std::move(name)), log_(log), gate_(gate), fail_(fail) {}
  ~TestJob() override { log_.Add("free:" + name_); }
  void Execute() override {
    log_.SetThread(name_, std::this_thread::get_id());
    log_.Add("start:" + name_);
    if (gate_ && !gate_->Pass()) log_.Add("gave-up:" + name_);
    if (fail_ == Fail::InExecute) throw Exception("Execute failed");
  }
  void Completed() override {
    log_.Add((OnMain() ? "done:" : "done-off-main:") + name_);
    if (fail_ == Fail::InCompleted) throw Exception("Completed failed");
    if (fail_ == Fail::InCompletedOther) throw 42;
  }

 private:
  std::string name_;
  Log& log_;
  Gate* gate_;
  Fail fail_;
};

std::unique_ptr<TestJob> Job(const std::string& name, Log& log, Gate* gate = nullptr,
                             Fail fail = Fail::None) {
  return std::make_unique<TestJob>(name, log, gate, fail);
}

// A load that can wait at a gate, or until its host calls are cancelled, and fail with a
// chosen kind of failure.
class FakeRun : public TLoadRun {
 public:
  enum Kind { Ok, RunError, OtherError, OutOfMemory, UntilCancelled };
  FakeRun(Kind kind, std::string message, Gate* gate = nullptr, bool* freed = nullptr,
          bool* cancelled = nullptr, std::atomic<bool>* started = nullptr)
      : kind_(kind),
        message_(std::move(message)),
        gate_(gate),
        freed_(freed),
        cancelled_(cancelled),
        started_(started) {}
  ~FakeRun() override {
    if (freed_) *freed_ = true;
  }
  void Run(bool rethrow) override {
    ranOnMain = OnMain();
    if (started_) *started_ = true;
    if (gate_) gate_->Pass();
    if (kind_ == UntilCancelled) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
      while (!HostCallsCancelled() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (cancelled_) *cancelled_ = HostCallsCancelled();
    }
    if (kind_ == RunError && rethrow) throw Exception(message_);
    if (kind_ == OtherError) throw std::runtime_error(message_);
    if (kind_ == OutOfMemory) throw std::bad_alloc();
  }
  bool ranOnMain = true;

 private:
  Kind kind_;
  std::string message_;
  Gate* gate_;
  bool* freed_;
  bool* cancelled_;
  std::atomic<bool>* started_;
};

}  // namespace

class WorkerPool : public ::testing::Test {
 protected:
  void SetUp() override { gMain = std::this_thread::get_id(); }
  std::unique_ptr<TBaseThreadLink> Link() { return queue_->Link(); }
  bool RunUntil(const std::function<bool()>& done) { return queue_->RunUntil(done); }

  std::shared_ptr<CallQueue> queue_ = std::make_shared<CallQueue>();
};

TEST_F(WorkerPool, QueuedJobsWaitForAWorkerAndRunInOrder) {
  Log log;
  Gate gates[7];
  TWorkerThreadPool pool(1, 5, Link());
  for (int i = 0; i < 7; ++i) pool.AddJob(Job("j" + std::to_string(i + 1), log, &gates[i]));
  EXPECT_EQ(pool.WorkerCount(), 5);
  EXPECT_EQ(pool.QueuedCount(), 2);
  EXPECT_EQ(pool.PendingCount(), 7);

  gates[0].Open();
  ASSERT_TRUE(RunUntil([&] { return log.Has("start:j6"); }));
  EXPECT_FALSE(log.Has("start:j7"));
  EXPECT_EQ(pool.QueuedCount(), 1);
  EXPECT_EQ(pool.WorkerCount(), 5);

  gates[1].Open();
  ASSERT_TRUE(RunUntil([&] { return log.Has("start:j7"); }));
  for (auto& g : gates) g.Open();
  pool.WaitForJobs();

  EXPECT_EQ(pool.PendingCount(), 0);
  EXPECT_EQ(pool.QueuedCount(), 0);
  for (int i = 1; i <= 7; ++i) {
    const std::string n = "j" + std::to_string(i);
    EXPECT_GE(log.IndexOf("done:" + n), 0) << n;
    EXPECT_LT(log.IndexOf("done:" + n), log.IndexOf("free:" + n));
    EXPECT_NE(log.ThreadOf(n), std::this_thread::get_id());
  }
  for (auto& l : log.Lines()) EXPECT_NE(l.rfind("gave-up", 0), 0u) << l;
}

TEST_F(WorkerPool, AddedJobGoesToFirstIdleWorkerAndOtherIdleOnesAreReleased) {
  Log log;
  Gate b1, b2, c;
  TWorkerThreadPool pool(1, 5, Link());
  pool.AddJob(Job("a", log));
  ASSERT_TRUE(RunUntil([&] { return pool.PendingCount() == 0; }));
  EXPECT_EQ(pool.WorkerCount(), 1);

  pool.AddJob(Job("b1", log, &b1));
  pool.AddJob(Job("b2", log, &b2));
  EXPECT_EQ(pool.WorkerCount(), 2);
  ASSERT_TRUE(RunUntil([&] { return log.Has("start:b1") && log.Has("start:b2"); }));
  EXPECT_EQ(log.ThreadOf("b1"), log.ThreadOf("a"));
  EXPECT_NE(log.ThreadOf("b2"), log.ThreadOf("a"));
  b1.Open();
  b2.Open();
  ASSERT_TRUE(RunUntil([&] { return pool.PendingCount() == 0; }));
  EXPECT_EQ(pool.WorkerCount(), 2);  // idle workers stay until the next job comes

  pool.AddJob(Job("c", log, &c));
  EXPECT_EQ(pool.WorkerCount(), 1);
  ASSERT_TRUE(RunUntil([&] { return log.Has("start:c"); }));
  EXPECT_EQ(log.ThreadOf("c"), log.ThreadOf("a"));
  c.Open();
  pool.WaitForJobs();
  EXPECT_TRUE(log.Has("done:c"));
}

TEST_F(WorkerPool, WaitForJobsKeepsDispatchingEvents) {
  Log log;
  Gate gate;
  TWorkerThreadPool pool(1, 5, Link());
  pool.AddJob(Job("j", log, &gate));
  // The job can only end when an event of this thread has been handled, and its Completed
  // needs this thread as well.
  bool eventSeen = false;
  queue_->Post([&] {
    eventSeen = true;
    gate.Open();
  });
  pool.WaitForJobs();
  EXPECT_TRUE(eventSeen);
  EXPECT_EQ(pool.PendingCount(), 0);
  EXPECT_TRUE(log.Has("done:j"));
  EXPECT_FALSE(log.Has("gave-up:j"));
}

TEST_F(WorkerPool, FailingJobsAreSwallowedAndTheWorkerCarriesOn) {
  struct Case {
    const char* name;
    Fail fail;
    bool completedRuns;
  };
  for (const Case& c : {Case{"Execute raises", Fail::InExecute, false},
                        Case{"Completed raises the run's failure", Fail::InCompleted, true},
                        Case{"Completed raises something else", Fail::InCompletedOther, true}}) {
    SCOPED_TRACE(c.name);
    Log log;
    TWorkerThreadPool pool(1, 5, Link());
    pool.AddJob(Job("bad", log, nullptr, c.fail));
    ASSERT_TRUE(RunUntil([&] { return pool.PendingCount() == 0; }));
    EXPECT_EQ(log.Has("done:bad"), c.completedRuns);
    EXPECT_TRUE(log.Has("free:bad"));

    pool.AddJob(Job("good", log));
    pool.WaitForJobs();
    EXPECT_TRUE(log.Has("done:good"));
    EXPECT_EQ(log.ThreadOf("good"), log.ThreadOf("bad"));
    EXPECT_EQ(pool.WorkerCount(), 1);
  }
}

// The running jobs sit waiting for their Completed call when the pool goes; the
// destructor must serve those calls instead of waiting for the workers forever, and drop
// the queued jobs unrun.
TEST_F(WorkerPool, DestroyingThePoolDeliversRunningJobsAndDropsQueuedOnes) {
  Log log;
  Gate gates[7];
  {
    TWorkerThreadPool pool(1, 5, Link());
    for (int i = 0; i < 7; ++i) pool.AddJob(Job("j" + std::to_string(i + 1), log, &gates[i]));
    for (int i = 1; i <= 5; ++i)
      ASSERT_TRUE(RunUntil([&] { return log.Has("start:j" + std::to_string(i)); }));
    for (auto& g : gates) g.Open();
  }
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(log.Has("done:j" + std::to_string(i)));
  for (int i = 6; i <= 7; ++i) {
    EXPECT_FALSE(log.Has("start:j" + std::to_string(i)));
    EXPECT_TRUE(log.Has("free:j" + std::to_string(i)));
  }
}

TEST_F(WorkerPool, LoaderDeliversTheRunAndItsErrorText) {
  struct Case {
    FakeRun::Kind kind;
    std::string message, expected;
  };
  const std::vector<Case> cases = {
      {FakeRun::Ok, "", ""},
      {FakeRun::RunError, "Keine Verbindung zu Marvella (Marvella muss gestartet sein)",
       "Keine Verbindung zu Marvella (Marvella muss gestartet sein)"},
      {FakeRun::OtherError, "kaputt", "kaputt"},
      // Out of memory is said in German, never in the library's words.
      {FakeRun::OutOfMemory, "", "Nicht gen\xFCgend Arbeitsspeicher f\xFCr diesen Lauf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    FakeRun* made = nullptr;
    std::unique_ptr<TLoadRun> delivered;
    std::string errorText = "<none>";
    bool busyInHandler = true;
    TASyncLoader* self = nullptr;
    TASyncLoader loader(
        [&](TImportWorker&, std::unique_ptr<TLoadRun> run, const std::string& e) {
          busyInHandler = self->IsBusy();
          delivered = std::move(run);
          errorText = e;
        },
        [&]() -> std::unique_ptr<TLoadRun> {
          auto r = std::make_unique<FakeRun>(c.kind, c.message);
          made = r.get();
          return r;
        },
        Link());
    self = &loader;
    EXPECT_FALSE(loader.IsBusy());
    loader.StartLoad();
    EXPECT_TRUE(loader.IsBusy());
    ASSERT_TRUE(RunUntil([&] { return !loader.IsBusy(); }));
    EXPECT_EQ(errorText, c.expected);
    EXPECT_EQ(delivered.get(), made);
    EXPECT_FALSE(made->ranOnMain);
    EXPECT_FALSE(busyInHandler);
  }
}

TEST_F(WorkerPool, LoaderSurvivesAFailingHandler) {
  int calls = 0;
  TASyncLoader loader(
      [&](TImportWorker&, std::unique_ptr<TLoadRun>, const std::string&) {
        ++calls;
        throw Exception("handler failed");
      },
      [] { return std::make_unique<FakeRun>(FakeRun::Ok, ""); }, Link());
  loader.StartLoad();
  ASSERT_TRUE(RunUntil([&] { return calls == 1; }));
  EXPECT_FALSE(loader.IsBusy());
  loader.StartLoad();
  ASSERT_TRUE(RunUntil([&] { return calls == 2; }));
}

TEST_F(WorkerPool, LoaderThatCannotMakeItsRunIsNotLeftBusy) {
  TASyncLoader loader([](TImportWorker&, std::unique_ptr<TLoadRun>, const std::string&) {},
                      []() -> std::unique_ptr<TLoadRun> { throw Exception("kein Speicher"); },
                      Link());
  EXPECT_THROW(loader.StartLoad(), Exception);
  EXPECT_FALSE(loader.IsBusy());
}

// Closing the window during a load: the loader goes at once. The run's host calls are
// cancelled (this run waits for that), and its result is freed without reaching the
// handler of an owner that is gone.
TEST_F(WorkerPool, DestroyingTheLoaderAbandonsTheRunningLoad) {
  bool delivered = false;
  bool freed = false;
  bool cancelledInRun = false;
  std::atomic<bool> started{false};
  {
    TASyncLoader loader(
        [&](TImportWorker&, std::unique_ptr<TLoadRun>, const std::string&) { delivered = true; },
        [&] {
          return std::make_unique<FakeRun>(FakeRun::UntilCancelled, "", nullptr, &freed,
                                           &cancelledInRun, &started);
        },
        Link());
    loader.StartLoad();
    ASSERT_TRUE(RunUntil([&] { return started.load(); }));
  }
  EXPECT_FALSE(delivered);
  EXPECT_TRUE(freed);
  EXPECT_TRUE(cancelledInRun);
}
