#include "startup.h"

#include "bidi.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <cstdio>
#include <system_error>

#include <fontconfig/fontconfig.h>

namespace tk {

void loadQtTranslation(QCoreApplication &app)
{
    auto *qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Persian, QLocale::Iran), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    else
        delete qt;
}

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
            printError(
                QStringLiteral(u"گزينه «%1» شناخته نشد. براي راهنما: %2")
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

FontWarmUp::FontWarmUp()
{
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        m_configurationRead = true; // no thread: Qt reads it when first asked
    }
}

FontWarmUp::~FontWarmUp()
{
    wait();
}

FontWarmUp::Listing FontWarmUp::applicationMade()
{
    {
        const std::lock_guard lock(m_mutex);
        m_applicationMade = true;
    }
    m_changed.notify_all();
    return Listing(*this);
}

void FontWarmUp::awaitConfiguration()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_configurationRead; });
}

void FontWarmUp::wait()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void FontWarmUp::run()
{
    FcInit(); // Qt's font list calls it again and finds the configuration read
    std::unique_lock lock(m_mutex);
    m_configurationRead = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_applicationMade || m_stop; });
    const bool list = m_applicationMade && !m_stop;
    lock.unlock();
    if (list)
        QFontDatabase::families();
}

void quitAfterFirstWindowIfAsked(QCoreApplication &app)
{
    if (qEnvironmentVariableIntValue("KT_QUIT_AFTER_FIRST_WINDOW") == 1)
        app.installEventFilter(new FirstWindowWatcher(&app));
}

} // namespace tk
