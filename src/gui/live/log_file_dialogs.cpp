#include "live/log_file_dialogs.h"

#include <QFileDialog>
#include <QWidget>

namespace qvx::gui {

namespace {

// "Bin data log file (*.log*)|*.log*||" -> "Bin data log file (*.log*)": the part before the first
// '|' already names the pattern in the form the dialog reads.
QString dialogFilter(LogKind kind) {
    const QString filter = QString::fromLatin1(LogInfo(kind).filter);
    return filter.section(QLatin1Char('|'), 0, 0);
}

QString dialogCaption(LogKind kind) {
    switch (kind) {
        case LogKind::Event:
            return QStringLiteral("Event data log file");
        case LogKind::Download:
            return QStringLiteral("Download data log file");
        case LogKind::Interval:
            break;
    }
    return QStringLiteral("Bin data log file");
}

}  // namespace

LogFileChooser logFileChooser(QWidget* parent) {
    return [parent](LogKind kind) -> std::optional<std::string> {
        QFileDialog dialog(parent, dialogCaption(kind));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(dialogFilter(kind));
        dialog.setDefaultSuffix(QString::fromLatin1(kLogDefaultExtension));
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst().toStdString();
    };
}

int chooseLogFile(AppContext& context, LogKind kind, QWidget* parent) {
    return ChooseLogFileFromMenu(context, kind, logFileChooser(parent));
}

}  // namespace qvx::gui
