#include "QtWaiter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <vector>

void TQtWaiter::Wait(std::vector<pollfd>& fds, int timeoutMs) {
    QEventLoop loop;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    auto watch = [&](pollfd& p, QSocketNotifier::Type type, short marks) {
        auto notifier = std::make_unique<QSocketNotifier>(p.fd, type);
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
        if (p.events & POLLIN) watch(p, QSocketNotifier::Read, POLLIN);
        if (p.events & POLLPRI) watch(p, QSocketNotifier::Exception, POLLPRI);
        if (p.events & POLLOUT) watch(p, QSocketNotifier::Write, POLLOUT);
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
