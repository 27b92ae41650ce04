#pragma once
// What every program does with its command line before a window opens, and
// the switch that lets a script start a program and see its first window.

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class QCoreApplication;

namespace tk {

struct ProgramInfo
{
    QString name;    // as typed on the command line: ranqor, placeva, tallimo
    QString version; // the project's version
    QString helpFa;  // the Persian help text, options included
    QString helpEn;  // the same in English
};

// The arguments as the program got them, without the program's name.
QStringList commandLineArguments(int argc, char **argv);

// --help (-h) prints both help texts on standard output; --version (-v) the
// name and version. Returns the exit status when the program should end now:
// 0 after those, 2 (with a Persian message on standard error) for an option
// the program does not know. Arguments that do not start with "--" are left
// to Qt (-platform and the like).
std::optional<int> handleInfoOptions(const QStringList &args, const ProgramInfo &info);

// Writes a line on standard error in UTF-8.
void printError(const QString &text);
void printOut(const QString &text);

// With KT_QUIT_AFTER_FIRST_WINDOW=1 in the environment the program ends with
// status 0 as soon as its first window has been drawn on the screen: the
// package's smoke test starts each program this way.
void quitAfterFirstWindowIfAsked(QCoreApplication &app);

// Qt's own texts (file errors, dialogs) in Persian, for any application object.
void loadQtTranslation(QCoreApplication &app);

// Reading the system's font configuration and listing its fonts is the
// largest single cost before a first window, and none of it needs the main
// thread. Made before the application object, this reads the configuration on
// a second thread while that object connects to the display, then lists Qt's
// fonts as soon as applicationMade() says the object is there; the first text
// measured waits for what is left of it (Qt's font lock).
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp(); // waits for the thread
    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

    // Waits for the thread when it goes, which must be before the application
    // object does: keep it in a variable declared after that object.
    class [[nodiscard]] Listing
    {
    public:
        explicit Listing(FontWarmUp &warmUp) : m_warmUp(warmUp) {}
        ~Listing() { m_warmUp.wait(); }
        Listing(const Listing &) = delete;
        Listing &operator=(const Listing &) = delete;

    private:
        FontWarmUp &m_warmUp;
    };
    // The application object now exists: the thread may list Qt's fonts.
    Listing applicationMade();
    // Call before the first text is measured or drawn: waits until the
    // configuration is read, so that Qt does not read it a second time beside
    // the thread.
    void awaitConfiguration();
    void wait();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_configurationRead = false;
    bool m_applicationMade = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace tk
