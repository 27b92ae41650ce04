// From process start to the first window drawn, for each of the three programs
// and for the least a Qt Widgets program can do: one window with one Persian
// label. This benchmark is that minimal program too (started with --minimal).
// The four are started in turn, ten rounds, on an X display; run it under
// Xvfb: xvfb-run -a -s "-screen 0 1366x768x24" build/bin/bench_firstwindow
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Ends the program once its first window has been drawn, as the programs do
// under KT_QUIT_AFTER_FIRST_WINDOW=1.
class FirstExpose : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_done) {
            auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                m_done = true;
                QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_done = false;
};

int minimalProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstExpose watcher;
    app.installEventFilter(&watcher);
    QLabel label(QStringLiteral(u"تخمين رتبه"));
    label.show();
    return app.exec();
}

// Milliseconds from starting the program to its end; negative where it failed.
double startToEnd(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KT_QUIT_AFTER_FIRST_WINDOW"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--minimal") == 0)
        return minimalProgram(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_firstwindow needs an X display: run it under xvfb-run -a\n");
        return 1;
    }

    struct Program
    {
        const char *name;
        QString path;
        QStringList args;
        std::vector<double> ms;
    };
    std::vector<Program> programs = {
        {"minimal Qt Widgets program (one Persian label)", QString::fromLocal8Bit(argv[0]), {"--minimal"}, {}},
        {"ranqor", QStringLiteral(RANQOR_EXE), {}, {}},
        {"placeva", QStringLiteral(PLACEVA_EXE), {}, {}},
        {"tallimo", QStringLiteral(TALLIMO_EXE), {}, {}},
    };
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // Once each first, unmeasured, so that every start finds the files cached.
    for (Program &p : programs)
        startToEnd(p.path, p.args);
    for (int round = 0; round < rounds; ++round) {
        for (Program &p : programs) {
            const double ms = startToEnd(p.path, p.args);
            if (ms < 0) {
                std::fprintf(stderr, "%s did not start and end cleanly\n", p.name);
                return 1;
            }
            p.ms.push_back(ms);
        }
    }
    const double floor = median(programs.front().ms);
    std::printf("first window, median of %d under one X server, started in turn:\n", rounds);
    std::printf("first window of a %s: %.1f ms\n", programs.front().name, floor);
    for (std::size_t i = 1; i < programs.size(); ++i) {
        const double ms = median(programs[i].ms);
        std::printf("first window of %s: %.1f ms (%.2f times the minimal program)\n", programs[i].name, ms,
                    ms / floor);
    }
    return 0;
}
