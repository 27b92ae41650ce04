#include "startup.h"

#include "bidi.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace tk {

QStringList commandLineArguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

void printError(const QString &text)
{
    const QByteArray bytes = (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void printOut(const QString &text)
{
    const QByteArray bytes = (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

std::optional<int> handleInfoOptions(const QStringList &args, const ProgramInfo &info)
{
    for (const QString &arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            printOut(info.helpFa + QLatin1Char('\n') + info.helpEn);
            return 0;
        }
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            printOut(info.name + QLatin1Char(' ') + info.version);
            return 0;
        }
    }
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--"))) {
            // The option and the command in their own order inside the Persian sentence.
            printError(QStringLiteral(u"گزينه «%1» شناخته نشد. براي راهنما: %2")
                           .arg(common::isolate(arg), common::isolate(info.name + QStringLiteral(" --help"))));
            return 2;
        }
    }
    return std::nullopt;
}

namespace {

class FirstWindowWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_done) {
            auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                m_done = true;
                // After this paint has run: quit() leaves every event loop,
                // a message box's too.
                QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

} // namespace

void quitAfterFirstWindowIfAsked(QCoreApplication &app)
{
    if (qEnvironmentVariableIntValue("KT_QUIT_AFTER_FIRST_WINDOW") == 1)
        app.installEventFilter(new FirstWindowWatcher(&app));
}

} // namespace tk
