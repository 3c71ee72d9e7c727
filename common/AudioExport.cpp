#include "AudioExport.h"

#include "LocalFileNames.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

constexpr int ProgressSteps = 1000;
constexpr int QuietMilliseconds = 400; // no progress dialog for a render this short

QString FirstSuffixOf(const QString& filter) {
    const QRegularExpressionMatch match = QRegularExpression(R"(\*\.(\w+))").match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

QString AudioFileFilter() {
    QStringList filters;
    for (const std::string& extension : RenderableExtensions()) {
        const QString suffix = QString::fromStdString(extension);
        filters << suffix.toUpper() + " (*." + suffix + ")";
    }
    return filters.join(";;");
}

void FollowSelectedFilterSuffix(QFileDialog& dialog) {
    dialog.setDefaultSuffix(FirstSuffixOf(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(FirstSuffixOf(filter)); });
}

QString AudioTarget(const QString& chosen) {
    if (chosen.isEmpty() || RenderableFile(Local(chosen)))
        return chosen;
    return StripExtension(chosen) + ".wav";
}

TRenderResult RenderWithProgress(QWidget* parent, TRenderRequest request, const QString& label,
                                 const QString& cancelText) {
    std::atomic<int> done{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    request.Progress = [&](double share) {
        done.store(static_cast<int>(share * ProgressSteps), std::memory_order_relaxed);
        return !cancelled.load();
    };
    TRenderResult result;
    std::thread worker([&] {
        result = RenderMidi(request);
        finished.store(true);
    });

    QProgressDialog dialog(label, cancelText, 0, ProgressSteps, parent);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(QuietMilliseconds);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { cancelled.store(true); });
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (finished.load())
            wait.quit();
        else
            dialog.setValue(done.load(std::memory_order_relaxed));
    });
    poll.start(30);
    wait.exec();
    // The application may be ending: the render must not outlive what it writes into.
    cancelled.store(cancelled.load() || !finished.load());
    worker.join();
    return result;
}
