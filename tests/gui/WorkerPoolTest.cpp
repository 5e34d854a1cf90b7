// The worker pool and the background loader: queueing, idle release, calls into the
// creating thread, failures, and shutting down while work is under way.

#include <QCoreApplication>
#include <QMetaObject>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "docdata/Exception.h"
#include "tests/support/Gate.h"
#include "ui/ASyncLoader.h"
#include "ui/WorkerThreadPool.h"

using namespace dz;
using dz::test::Gate;

namespace {

constexpr int kLong = 60000;  // only ever reached when something is broken

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
    const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    log_.Add((onMain ? "done:" : "done-off-main:") + name_);
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

// A load that can wait at a gate and fail with a chosen kind of failure.
class FakeRun : public TLoadRun {
 public:
  enum Kind { Ok, RunError, OtherError };
  FakeRun(Kind kind, std::string message, Gate* gate = nullptr)
      : kind_(kind), message_(std::move(message)), gate_(gate) {}
  void Run(bool rethrow) override {
    ranOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    if (gate_) gate_->Pass();
    if (kind_ == RunError && rethrow) throw Exception(message_);
    if (kind_ == OtherError) throw std::runtime_error(message_);
  }
  bool ranOnMain = true;

 private:
  Kind kind_;
  std::string message_;
  Gate* gate_;
};

}  // namespace

class WorkerPoolTest : public QObject {
  Q_OBJECT

 private slots:
  void QueuedJobsWaitForAWorkerAndRunInOrder() {
    Log log;
    Gate gates[7];
    TWorkerThreadPool pool;
    for (int i = 0; i < 7; ++i) pool.AddJob(Job("j" + std::to_string(i + 1), log, &gates[i]));
    QCOMPARE(pool.WorkerCount(), 5);
    QCOMPARE(pool.QueuedCount(), 2);
    QCOMPARE(pool.PendingCount(), 7);

    gates[0].Open();
    QTRY_VERIFY_WITH_TIMEOUT(log.Has("start:j6"), kLong);
    QVERIFY(!log.Has("start:j7"));
    QCOMPARE(pool.QueuedCount(), 1);
    QCOMPARE(pool.WorkerCount(), 5);

    gates[1].Open();
    QTRY_VERIFY_WITH_TIMEOUT(log.Has("start:j7"), kLong);
    for (auto& g : gates) g.Open();
    pool.WaitForJobs();

    QCOMPARE(pool.PendingCount(), 0);
    QCOMPARE(pool.QueuedCount(), 0);
    for (int i = 1; i <= 7; ++i) {
      const std::string n = "j" + std::to_string(i);
      QVERIFY2(log.IndexOf("done:" + n) >= 0, n.c_str());
      QVERIFY(log.IndexOf("done:" + n) < log.IndexOf("free:" + n));
      QVERIFY(log.ThreadOf(n) != std::this_thread::get_id());
    }
    for (auto& l : log.Lines()) QVERIFY2(l.rfind("gave-up", 0) != 0, l.c_str());
  }

  void AddedJobGoesToFirstIdleWorkerAndOtherIdleOnesAreReleased() {
    Log log;
    Gate b1, b2, c;
    TWorkerThreadPool pool;
    pool.AddJob(Job("a", log));
    QTRY_COMPARE_WITH_TIMEOUT(pool.PendingCount(), 0, kLong);
    QCOMPARE(pool.WorkerCount(), 1);

    pool.AddJob(Job("b1", log, &b1));
    pool.AddJob(Job("b2", log, &b2));
    QCOMPARE(pool.WorkerCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(log.Has("start:b1") && log.Has("start:b2"), kLong);
    QVERIFY(log.ThreadOf("b1") == log.ThreadOf("a"));
    QVERIFY(log.ThreadOf("b2") != log.ThreadOf("a"));
    b1.Open();
    b2.Open();
    QTRY_COMPARE_WITH_TIMEOUT(pool.PendingCount(), 0, kLong);
    QCOMPARE(pool.WorkerCount(), 2);  // idle workers stay until the next job comes

    pool.AddJob(Job("c", log, &c));
    QCOMPARE(pool.WorkerCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(log.Has("start:c"), kLong);
    QVERIFY(log.ThreadOf("c") == log.ThreadOf("a"));
    c.Open();
    pool.WaitForJobs();
    QVERIFY(log.Has("done:c"));
  }

  void WaitForJobsKeepsDispatchingEvents() {
    Log log;
    Gate gate;
    TWorkerThreadPool pool;
    pool.AddJob(Job("j", log, &gate));
    // The job can only end when an event of this thread has been handled, and its Completed
    // needs this thread as well.
    bool eventSeen = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
          eventSeen = true;
          gate.Open();
        },
        Qt::QueuedConnection);
    pool.WaitForJobs();
    QVERIFY(eventSeen);
    QCOMPARE(pool.PendingCount(), 0);
    QVERIFY(log.Has("done:j"));
    QVERIFY(!log.Has("gave-up:j"));
  }

  void FailingJobsAreSwallowedAndTheWorkerCarriesOn_data() {
    QTest::addColumn<int>("fail");
    QTest::addColumn<bool>("completedRuns");
    QTest::newRow("Execute raises") << int(Fail::InExecute) << false;
    QTest::newRow("Completed raises the run's failure") << int(Fail::InCompleted) << true;
    QTest::newRow("Completed raises something else") << int(Fail::InCompletedOther) << true;
  }
  void FailingJobsAreSwallowedAndTheWorkerCarriesOn() {
    QFETCH(int, fail);
    QFETCH(bool, completedRuns);
    Log log;
    TWorkerThreadPool pool;
    pool.AddJob(Job("bad", log, nullptr, static_cast<Fail>(fail)));
    QTRY_COMPARE_WITH_TIMEOUT(pool.PendingCount(), 0, kLong);
    QCOMPARE(log.Has("done:bad"), completedRuns);
    QVERIFY(log.Has("free:bad"));

    pool.AddJob(Job("good", log));
    pool.WaitForJobs();
    QVERIFY(log.Has("done:good"));
    QVERIFY(log.ThreadOf("good") == log.ThreadOf("bad"));
    QCOMPARE(pool.WorkerCount(), 1);
  }

  // The running jobs sit waiting for their Completed call when the pool goes; the
  // destructor must serve those calls instead of waiting for the workers forever, and drop
  // the queued jobs unrun.
  void DestroyingThePoolDeliversRunningJobsAndDropsQueuedOnes() {
    Log log;
    Gate gates[7];
    {
      TWorkerThreadPool pool;
      for (int i = 0; i < 7; ++i) pool.AddJob(Job("j" + std::to_string(i + 1), log, &gates[i]));
      for (int i = 1; i <= 5; ++i)
        QTRY_VERIFY_WITH_TIMEOUT(log.Has("start:j" + std::to_string(i)), kLong);
      for (auto& g : gates) g.Open();
    }
    for (int i = 1; i <= 5; ++i) QVERIFY(log.Has("done:j" + std::to_string(i)));
    for (int i = 6; i <= 7; ++i) {
      QVERIFY(!log.Has("start:j" + std::to_string(i)));
      QVERIFY(log.Has("free:j" + std::to_string(i)));
    }
  }

  void LoaderDeliversTheRunAndItsErrorText_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    QTest::newRow("success") << int(FakeRun::Ok) << ""
                             << "";
    QTest::newRow("run failure") << int(FakeRun::RunError)
                                 << "Keine Verbindung zu Marvella (Marvella muss gestartet sein)"
                                 << "Keine Verbindung zu Marvella (Marvella muss gestartet sein)";
    QTest::newRow("other failure") << int(FakeRun::OtherError) << "kaputt"
                                   << "kaputt";
  }
  void LoaderDeliversTheRunAndItsErrorText() {
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(QString, expected);
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
          auto r =
              std::make_unique<FakeRun>(static_cast<FakeRun::Kind>(kind), message.toStdString());
          made = r.get();
          return r;
        });
    self = &loader;
    QVERIFY(!loader.IsBusy());
    loader.StartLoad();
    QVERIFY(loader.IsBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!loader.IsBusy(), kLong);
    QCOMPARE(QString::fromStdString(errorText), expected);
    QVERIFY(delivered.get() == made);
    QVERIFY(!made->ranOnMain);
    QVERIFY(!busyInHandler);
  }

  void LoaderSurvivesAFailingHandler() {
    int calls = 0;
    TASyncLoader loader(
        [&](TImportWorker&, std::unique_ptr<TLoadRun>, const std::string&) {
          ++calls;
          throw Exception("handler failed");
        },
        [] { return std::make_unique<FakeRun>(FakeRun::Ok, ""); });
    loader.StartLoad();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, kLong);
    QVERIFY(!loader.IsBusy());
    loader.StartLoad();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 2, kLong);
  }

  void LoaderThatCannotMakeItsRunIsNotLeftBusy() {
    TASyncLoader loader([](TImportWorker&, std::unique_ptr<TLoadRun>, const std::string&) {},
                        []() -> std::unique_ptr<TLoadRun> { throw Exception("kein Speicher"); });
    QVERIFY_THROWS_EXCEPTION(Exception, loader.StartLoad());
    QVERIFY(!loader.IsBusy());
  }

  // Closing the window during a load: the loader's destruction waits for the run and still
  // hands its result to the handler. The run here can only end once the destructor's wait
  // dispatches an event.
  void DestroyingTheLoaderWaitsForTheRunningLoad() {
    Gate gate;
    std::unique_ptr<TLoadRun> delivered;
    {
      TASyncLoader loader([&](TImportWorker&, std::unique_ptr<TLoadRun> run,
                              const std::string&) { delivered = std::move(run); },
                          [&] { return std::make_unique<FakeRun>(FakeRun::Ok, "", &gate); });
      loader.StartLoad();
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [&] { gate.Open(); }, Qt::QueuedConnection);
    }
    QVERIFY(delivered != nullptr);
  }
};

QTEST_GUILESS_MAIN(WorkerPoolTest)
#include "WorkerPoolTest.moc"
