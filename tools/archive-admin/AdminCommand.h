#pragma once

// The command line of archive-admin and what each command does.

#include <QString>
#include <QStringList>

#include <functional>

namespace admin {

struct CreateOptions {
    QString archive;
    QString sprav;
    QString config;
    QString store; // empty: the archive parameters keep their defaults
    QString user;
    QString password;
    bool force = false;
    bool demo = false;
    int notes = 0; // 0: the demo archive's own size
    bool writeStore = true;
};

class AdminCommand {
public:
    // `programDir`: the folder of the running program (default place of the
    // configuration file and of the schema scripts).
    explicit AdminCommand(QString programDir);

    void setOutput(std::function<void(const QString&)> out) { m_out = std::move(out); }
    void setErrors(std::function<void(const QString&)> err) { m_err = std::move(err); }

    // Runs the command line (arguments[0] is the program); returns the exit
    // code: 0 done, 1 the work failed, 2 the command line is wrong.
    int run(const QStringList& arguments);

    // The "create" command with options already checked; throws AdminError.
    void create(const CreateOptions& options);

private:
    void say(const QString& line) const;

    QString m_programDir;
    std::function<void(const QString&)> m_out;
    std::function<void(const QString&)> m_err;
};

} // namespace admin
