#include "media/FileOpenDialog.h"

#include "media/ComponentError.h"
#include "media/PersistedBlock.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace zyr::media {

namespace {

constexpr std::uint32_t kStreamSignature = 0x12344321;
constexpr std::uint32_t kExtentHimetric = 847; // 480 twips

// The text Qt gets for a filter: the description as written, then the patterns Qt filters by
// in a trailing group that HideNameFilterDetails keeps out of sight. "*.*" becomes "*" so that
// names without an extension match too.
QString qtNameFilter(const FileFilter &f)
{
    QStringList patterns;
    for (const QString &p : f.patterns)
        patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    return f.description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

// Qt's file dialog keeps its state (last folder, history, view mode, sidebar) in the user's
// QtProject.conf: it reads the file back whenever it is made and writes it when it goes, and
// nothing turns that off. The kit keeps no settings between runs, so every Qt settings file is
// looked for below /dev/null, where nothing can exist or be made: nothing is read, and writing
// fails without a word. This holds for the whole process; the kit has no settings of its own.
// Within a run the dialog still starts where the last file was chosen.
void keepDialogStateInMemory()
{
    static const bool done = [] {
        const QString nowhere = QStringLiteral("/dev/null/qt-settings");
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, nowhere);
        return true;
    }();
    static_cast<void>(done);
}

} // namespace

FileOpenDialog::FileOpenDialog(const QByteArray &persisted, QWidget *parent)
    : QWidget(parent), m_presenter(&FileOpenDialog::showQtDialog)
{
    if (!isWellFormedBlock(persisted))
        throw ComponentError(ComponentError::kInvalidPropertyValue,
                             QStringLiteral("The file dialog's settings are malformed."));
    setFocusPolicy(Qt::NoFocus);
    hide();
}

bool FileOpenDialog::isWellFormedBlock(const QByteArray &bytes)
{
    if (bytes.size() != kBlockSize)
        return false;
    const PersistedBlock b(bytes);
    return b.u32(0) == kStreamSignature && b.u32(4) == 8 && b.u32(8) == kExtentHimetric &&
           b.u32(12) == kExtentHimetric && b.bytesAre(16, QByteArrayView("\x86\x3C\x04\xF9", 4)) &&
           b.bytesAre(20, QByteArrayView("\x00\x00\x05\x00", 4)) && b.u32(24) == 0 &&
           b.u32(28) == 32 && b.u32(32) == 0 && b.u32(36) == 0 && b.u32(40) == 1 &&
           b.u32(44) == 260 && b.filledWith(48, 16, 0) &&
           b.bytesAre(64, QByteArrayView("\x00\x00\x00\x41", 4)) && b.filledWith(68, 8, 0);
}

QByteArray FileOpenDialog::designBlock()
{
    QByteArray b(kBlockSize, '\0');
    const auto put32 = [&b](qsizetype at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(0, kStreamSignature);
    put32(4, 8);
    put32(8, kExtentHimetric);
    put32(12, kExtentHimetric);
    b.replace(16, 4, QByteArray("\x86\x3C\x04\xF9", 4));
    b.replace(20, 4, QByteArray("\x00\x00\x05\x00", 4));
    put32(28, 32);
    put32(40, 1);
    put32(44, 260);
    b.replace(64, 4, QByteArray("\x00\x00\x00\x41", 4));
    return b;
}

std::size_t FileOpenDialog::clampFilterIndex(int filterIndex, std::size_t filterCount)
{
    if (filterCount == 0 || filterIndex <= 1)
        return 0;
    return std::min<std::size_t>(static_cast<std::size_t>(filterIndex), filterCount) - 1;
}

void FileOpenDialog::put(int dispatchId, const DispatchValue &value)
{
    switch (dispatchId) {
    case kFileName:
        m_fileName = dispatchAs<QString>(value, "FileName");
        return;
    case kFilter:
        m_filter = dispatchAs<QString>(value, "Filter");
        return;
    case kFilterIndex:
        m_filterIndex = dispatchAs<std::int16_t>(value, "FilterIndex");
        return;
    case kAction: {
        const std::int16_t action = dispatchAs<std::int16_t>(value, "Action");
        if (action != kActionOpen)
            throw ComponentError(ComponentError::kInvalidPropertyValue,
                                 QStringLiteral("The file dialog has no action %1.").arg(action));
        showOpen();
        return;
    }
    default:
        throw ComponentError(ComponentError::kNoSuchProperty,
                             QStringLiteral("The file dialog has no property %1.").arg(dispatchId));
    }
}

DispatchValue FileOpenDialog::get(int dispatchId)
{
    switch (dispatchId) {
    case kFileName:
        return m_fileName;
    case kFilter:
        return m_filter;
    case kFilterIndex:
        return static_cast<std::int16_t>(m_filterIndex);
    default:
        throw ComponentError(ComponentError::kNoSuchProperty,
                             QStringLiteral("The file dialog has no property %1.").arg(dispatchId));
    }
}

void FileOpenDialog::showOpen()
{
    Request request;
    request.filters = parseFileFilters(m_filter);
    request.selectedFilter = clampFilterIndex(m_filterIndex, request.filters.size());
    request.fileName = m_fileName;
    request.parent = window();
    const std::optional<QString> chosen = m_presenter(request);
    if (!chosen)
        throw ComponentError(ComponentError::kCancelled, QStringLiteral("Cancel was selected."));
    m_fileName = *chosen;
}

std::optional<QString> FileOpenDialog::showQtDialog(const Request &request)
{
    keepDialogStateInMemory();
    QFileDialog dialog(request.parent, QStringLiteral("Open"));
    dialog.setObjectName(QStringLiteral("fileOpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    QStringList nameFilters;
    for (const FileFilter &f : request.filters)
        nameFilters << qtNameFilter(f);
    dialog.setNameFilters(nameFilters);
    if (request.selectedFilter < static_cast<std::size_t>(nameFilters.size()))
        dialog.selectNameFilter(nameFilters[static_cast<qsizetype>(request.selectedFilter)]);
    if (!request.fileName.isEmpty())
        dialog.setDirectory(QFileInfo(request.fileName).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace zyr::media
