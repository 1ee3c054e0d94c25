#pragma once
// A PulseAudio server of the test's own, for the path a desktop's sound really takes. It has a
// null sink, whose monitor holds what was played to it, and an input fed by that monitor, which
// SDL lists as an ordinary input (it leaves monitors out). It runs in a scratch folder as its
// runtime, state and configuration home, reads no configuration of the user's, and no client
// spawns another. As root it runs as the user nobody: PulseAudio refuses root outside its system
// mode. It ends with this object, and with the test process whatever ends that (setpriv hands
// it a parent-death signal).
//
// The programs come from the build's configuration: ZYR_PULSEAUDIO_PATH, ZYR_PACTL_PATH and
// ZYR_SETPRIV_PATH. UI thread only.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace zyr::test {

class PulseAudioServer {
public:
    static constexpr const char *kSink = "zyr_null";
    static constexpr const char *kMonitor = "zyr_null.monitor";
    static constexpr const char *kInput = "zyr_input";
    // The null sink's format: what its monitor delivers.
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;

    PulseAudioServer() = default;
    PulseAudioServer(const PulseAudioServer &) = delete;
    PulseAudioServer &operator=(const PulseAudioServer &) = delete;
    ~PulseAudioServer()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
        m_server.waitForFinished();
    }

    // Starts the server, waits until it answers, and points this process's PulseAudio clients
    // at it (PULSE_SERVER, PULSE_CLIENTCONFIG). On failure says why, with the server's output.
    bool start(QString *why)
    {
        const QString dir = m_dir.path();
        if (!m_dir.isValid() || !QDir(dir).mkpath(QStringLiteral("config")) ||
            !write(QStringLiteral("server.pa"),
                   QStringLiteral("load-module module-null-sink sink_name=%1 rate=%2 channels=%3\n"
                                  "load-module module-remap-source master=%4 source_name=%5\n"
                                  "load-module module-native-protocol-unix auth-anonymous=1 "
                                  "socket=%6/native\n"
                                  "set-default-sink %1\n"
                                  "set-default-source %5\n")
                       .arg(QLatin1String(kSink))
                       .arg(kRate)
                       .arg(kChannels)
                       .arg(QLatin1String(kMonitor), QLatin1String(kInput), dir)) ||
            !write(QStringLiteral("client.conf"),
                   QStringLiteral("autospawn = no\ncookie-file = %1/client-cookie\n").arg(dir))) {
            *why = QStringLiteral("cannot prepare the server's folder in %1").arg(dir);
            return false;
        }

        QStringList args;
        if (geteuid() == 0) {
            const passwd *nobody = getpwnam("nobody");
            if (nobody == nullptr || !handTo(*nobody, {dir, dir + QStringLiteral("/config")})) {
                *why = QStringLiteral("cannot hand %1 to the user nobody").arg(dir);
                return false;
            }
            args << QStringLiteral("--reuid=%1").arg(nobody->pw_uid)
                 << QStringLiteral("--regid=%1").arg(nobody->pw_gid)
                 << QStringLiteral("--clear-groups");
        }
        args << QStringLiteral("--pdeathsig") << QStringLiteral("KILL") << QStringLiteral("--")
             << QStringLiteral(ZYR_PULSEAUDIO_PATH) << QStringLiteral("-n") << QStringLiteral("-F")
             << dir + QStringLiteral("/server.pa") << QStringLiteral("--daemonize=no")
             << QStringLiteral("--use-pid-file=no") << QStringLiteral("--exit-idle-time=-1")
             << QStringLiteral("--realtime=no") << QStringLiteral("--high-priority=no")
             << QStringLiteral("--no-cpu-limit") << QStringLiteral("--log-target=stderr");
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        for (const char *name :
             {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"})
            env.insert(QString::fromLatin1(name), dir);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral(ZYR_SETPRIV_PATH), args);

        qputenv("PULSE_SERVER", QStringLiteral("unix:%1/native").arg(dir).toLocal8Bit());
        qputenv("PULSE_CLIENTCONFIG", (dir + QStringLiteral("/client.conf")).toLocal8Bit());
        // Up to half a minute for a loaded machine; the server usually answers within 100 ms.
        for (int attempt = 0; attempt < 150; ++attempt) {
            if (m_server.waitForFinished(200)) // it ended: it will not answer
                break;
            QProcess info;
            info.start(QStringLiteral(ZYR_PACTL_PATH), {QStringLiteral("info")});
            if (info.waitForFinished(10000) && info.exitStatus() == QProcess::NormalExit &&
                info.exitCode() == 0)
                return true;
        }
        *why = QStringLiteral("the sound server did not come up: ") +
               QString::fromLocal8Bit(m_server.readAll());
        return false;
    }

private:
    bool write(const QString &name, const QString &text)
    {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
    }
    static bool handTo(const passwd &user, const QStringList &paths)
    {
        for (const QString &p : paths)
            if (chown(QFile::encodeName(p).constData(), user.pw_uid, user.pw_gid) != 0)
                return false;
        return true;
    }

    QTemporaryDir m_dir;
    QProcess m_server;
};

} // namespace zyr::test
