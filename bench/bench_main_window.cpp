// The main window's side of bench_main (which runs this as a child and
// reads its marks): builds the frame offscreen over the home of a settings
// file and prints, as "name value" lines,
//   first_rows_ns   CLOCK_MONOTONIC when the list's viewport first starts
//                   to paint with rows (the parent took the clock before exec)
//   select_large_ms selecting the message with the 10 MB body until the
//                   viewer's first paint after it starts
//   switch_back_ms  from another folder back to InBox until the list
//                   paints with rows again
// A mark that never comes within the wait is printed as -1.
// Usage: bench_main_window SETTINGS_FILE

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "SampleHome.h"
#include "SampleHomeFrame.h"
#include "common/CodePage.h"
#include "ui/editor/CIlkaView.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/CMoView.h"

namespace {

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

constexpr int kWaitMs = 60000;

// Notes when a widget paints, and whether the list under it had rows then.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget& widget, QAbstractItemView* rowsOf) : rowsOf_(rowsOf) {
        widget.installEventFilter(this);
    }
    void Arm() {
        seen_ = false;
        paintedNs_ = -1;
    }
    long long PaintedNs() const { return paintedNs_; }

    // Runs the event loop until a qualifying paint has started; when it
    // started, or -1.
    long long Wait() {
        QElapsedTimer waited;
        waited.start();
        while (!seen_ && waited.elapsed() < kWaitMs) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return paintedNs_;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = !rowsOf_ || (rowsOf_->model() && rowsOf_->model()->rowCount() > 0);
            if (seen_) {
                // Stamped as the paint starts: it may run inside a call that
                // processes events itself (showing, selecting).
                paintedNs_ = MonotonicNs();
            }
        }
        return QObject::eventFilter(object, event);
    }

private:
    QAbstractItemView* rowsOf_;
    bool seen_ = false;
    long long paintedNs_ = -1;
};

double Ms(long long fromNs, long long toNs) {
    return toNs < 0 ? -1.0 : static_cast<double>(toNs - fromNs) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: bench_main_window SETTINGS_FILE (run by bench_main)\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    corvina::CodePage::SetWorking(corvina::CodePage::kUtf8);
    corvina::test::SampleHomeFrame sample(argv[1]);
    std::string why;
    // The frame opens the InBox as it starts: watch the list before it shows.
    std::unique_ptr<PaintWatch> listPaint;
    corvina::CMainFrame* frame = sample.Show(1100, 720, &why, [&](corvina::CMainFrame& starting) {
        listPaint = std::make_unique<PaintWatch>(*starting.List().viewport(), &starting.List());
    });
    if (!frame) {
        std::fprintf(stderr, "bench_main_window: %s\n", why.c_str());
        return 1;
    }
    frame->Tree().SelectFolder("InBox");
    std::printf("first_rows_ns %lld\n", listPaint->Wait());

    PaintWatch viewPaint(*frame->View().Body().viewport(), nullptr);
    viewPaint.Arm();
    const long long selectStart = MonotonicNs();
    const bool found = sample.SelectMessage(corvina::test::kLargeBodySubject);
    std::printf("select_found %d\nselect_large_ms %.1f\n", found ? 1 : 0,
                found ? Ms(selectStart, viewPaint.Wait()) : -1.0);

    frame->Tree().SelectFolder("Work");
    listPaint->Arm();
    listPaint->Wait();
    listPaint->Arm();
    const long long switchStart = MonotonicNs();
    frame->Tree().SelectFolder("InBox");
    std::printf("switch_back_ms %.1f\n", Ms(switchStart, listPaint->Wait()));
    std::fflush(stdout);
    return 0;
}
