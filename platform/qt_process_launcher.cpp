#include "platform/qt_process_launcher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>

bool CQtProcessLauncher::Start(const std::filesystem::path& program,
                               const std::vector<std::string>& arguments) {
    const QString file = QString::fromStdU16String(program.u16string());
    // A folder or a missing file is no program; saying so here spares the system's search
    // along PATH for a bare name, which would start some other program of that name.
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile()) return false;
    QStringList list;
    for (const std::string& a : arguments) list << QString::fromStdString(a);
    return QProcess::startDetached(info.absoluteFilePath(), list);
}
