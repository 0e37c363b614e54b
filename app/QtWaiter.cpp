#include "QtWaiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <vector>

void TQtWaiter::Wait(std::vector<Sys::PollEntry>& fds, int timeoutMs) {
    QEventLoop loop;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    auto watch = [&](Sys::PollEntry& p, QSocketNotifier::Type type, short marks) {
        auto notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(p.handle), type);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&loop, &p, marks] {
            p.revents = static_cast<short>(p.revents | marks);
            loop.quit();
        });
        notifiers.push_back(std::move(notifier));
    };
    for (auto& p : fds) {
        p.revents = 0;
        // A hang-up alone is no reason to watch for reading: a socket with unread bytes is
        // readable all the time and would end every wait at once.
        if (p.events & Sys::kReadable) watch(p, QSocketNotifier::Read, Sys::kReadable);
        if (p.events & Sys::kUrgent) watch(p, QSocketNotifier::Exception, Sys::kUrgent);
        if (p.events & Sys::kWritable) watch(p, QSocketNotifier::Write, Sys::kWritable);
    }
    QTimer deadline;
    if (timeoutMs >= 0) {
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.quit(); });
        deadline.start(timeoutMs);
    }
    loop.exec();
}

void TQtWaiter::ServePending() {
    QCoreApplication::processEvents();
}
