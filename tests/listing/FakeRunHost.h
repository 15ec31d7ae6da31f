#pragma once

#include <QBuffer>
#include <functional>
#include <vector>

#include "listing/RunHost.h"

namespace dirtally::test {

// A report run's host in memory: the report goes to a byte array, every state and error is
// recorded, and a test can act inside the run's yields.
class FakeRunHost final : public RunHost {
  public:
    explicit FakeRunHost(Path folder) : folder_(std::move(folder)) {}

    RunInputs prepareRun() override {
        ++preparations;
        RunInputs inputs{folder_, oneLevel_, chosenOutput, QDate(2026, 12, 6)};
        if (choose) {
            choose(inputs);
        }
        return inputs;
    }
    bool oneLevel() const override { return oneLevel_; }
    void setFolder(const Path& folder) override { folder_ = folder; }
    void yield(const RunProgress& now) override {
        ++yields;
        progress = now;
        if (onYield) {
            onYield(yields);
        }
    }
    std::unique_ptr<ReportOutput> openReport(const Path& file, QString* error) override {
        ++opens;
        openedPath = file;
        if (!openError.isEmpty()) {
            *error = openError;
            return nullptr;
        }
        if (device) {
            return std::make_unique<Report>(std::move(device), finishes);
        }
        report.clear();
        auto buffer = std::make_unique<QBuffer>(&report);
        buffer->open(QIODevice::WriteOnly);
        return std::make_unique<Report>(std::move(buffer), finishes);
    }
    void showError(const QString& text) override { errors.append(text); }
    void cannotRead(const Path& folder, int error) override {
        unreadable.push_back({folder, error});
    }
    void stateChanged(RunState state) override { states.push_back(state); }

    void setOneLevel(bool on) { oneLevel_ = on; }
    const Path& folder() const { return folder_; }

    Path chosenOutput = "/data/Dirtallied.txt";
    QString openError;
    std::unique_ptr<QIODevice> device;  // a stream of the test's own instead of the byte array
    QByteArray report;
    Path openedPath;
    QStringList errors;
    std::vector<std::pair<Path, int>> unreadable;
    std::vector<RunState> states;
    RunProgress progress;
    int preparations = 0;
    int opens = 0;
    int yields = 0;
    int finishes = 0;  // reports the run said were whole
    std::function<void(int)> onYield;
    std::function<void(RunInputs&)> choose;  // the options a test asks of the run

  private:
    class Report final : public ReportOutput {
      public:
        Report(std::unique_ptr<QIODevice> device, int& finishes)
            : device_(std::move(device)), finishes_(finishes) {}
        QIODevice& stream() override { return *device_; }
        std::vector<FileIdentity> files() const override { return {{7, 42}}; }
        bool linesBeforeYield() const override { return true; }
        bool finish(QString*) override { return ++finishes_; }

      private:
        std::unique_ptr<QIODevice> device_;
        int& finishes_;
    };

    Path folder_;
    bool oneLevel_ = true;
};

}  // namespace dirtally::test
