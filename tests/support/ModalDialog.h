#pragma once

// Answers a modal dialog as a user does, once it is up. A dialog that does not come up by the
// deadline ends the program with a message, so no caller waits for ctest's timeout.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>

template <typename Dialog>
void AnswerModalDialog(std::function<void(Dialog&)> answer,
                       std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    QElapsedTimer waited;
    waited.start();
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, waited, answer, deadline] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(*dialog);
        } else if (waited.hasExpired(deadline.count())) {
            qFatal("no %s came up within %lld ms", Dialog::staticMetaObject.className(),
                   static_cast<long long>(deadline.count()));
        }
    });
    poll->start();
}
