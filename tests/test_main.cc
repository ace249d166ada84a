// The tests' main: Google Test with its failure messages on standard error.
// Tests of console output redirect standard output, which would otherwise
// swallow the messages or mix them into the text under test.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using ::testing::TestEventListener;

// Forwards every event to the default printer, except failures, which go to
// standard error.
class StderrFailurePrinter : public TestEventListener {
 public:
  explicit StderrFailurePrinter(TestEventListener* printer) : printer_(printer) {}

  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed()) return;
    std::fprintf(stderr, "%s:%d: Failure\n%s\n",
                 result.file_name() ? result.file_name() : "unknown", result.line_number(),
                 result.message());
  }

  void OnTestProgramStart(const ::testing::UnitTest& u) override {
    printer_->OnTestProgramStart(u);
  }
  void OnTestIterationStart(const ::testing::UnitTest& u, int i) override {
    printer_->OnTestIterationStart(u, i);
  }
  void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override {
    printer_->OnEnvironmentsSetUpStart(u);
  }
  void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override {
    printer_->OnEnvironmentsSetUpEnd(u);
  }
  void OnTestSuiteStart(const ::testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
  void OnTestStart(const ::testing::TestInfo& t) override { printer_->OnTestStart(t); }
  void OnTestEnd(const ::testing::TestInfo& t) override { printer_->OnTestEnd(t); }
  void OnTestSuiteEnd(const ::testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override {
    printer_->OnEnvironmentsTearDownStart(u);
  }
  void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override {
    printer_->OnEnvironmentsTearDownEnd(u);
  }
  void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override {
    printer_->OnTestIterationEnd(u, i);
  }
  void OnTestProgramEnd(const ::testing::UnitTest& u) override { printer_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<TestEventListener> printer_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  // Google Test hands over the default printer and takes ownership of ours.
  TestEventListener* printer = listeners.Release(listeners.default_result_printer());
  listeners.Append(new StderrFailurePrinter(printer));
  return RUN_ALL_TESTS();
}
