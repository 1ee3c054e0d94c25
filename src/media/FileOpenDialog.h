#pragma once
// The file-open dialog component: a window sets its Filter, FilterIndex and Action = 1 by
// dispatch id, the modal Open dialog is shown, and FileName holds the chosen path. A cancelled
// dialog raises ComponentError 32755. Nothing of it shows in the window itself.
//
// UI thread only. Tests answer the dialog through setPresenter(); one test drives the real
// Qt dialog.

#include "media/DispatchValue.h"
#include "media/FileFilter.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace zyr::media {

class FileOpenDialog : public QWidget, public Dispatchable {
    Q_OBJECT
public:
    static constexpr int kFileName = 1;
    static constexpr int kFilter = 3;
    static constexpr int kFilterIndex = 23;
    static constexpr int kAction = 26;
    static constexpr std::int16_t kActionOpen = 1;
    static constexpr qsizetype kBlockSize = 76;

    // What the dialog is asked to show.
    struct Request {
        std::vector<FileFilter> filters;
        std::size_t selectedFilter = 0; // index into filters
        QString fileName;               // the last chosen path, where to start
        QWidget *parent = nullptr;
    };
    // Shows the dialog; returns the chosen path, or nothing when the user cancels.
    using Presenter = std::function<std::optional<QString>(const Request &)>;

    // A dialog component with the design-time settings of `persisted` (its 76-byte block);
    // raises ComponentError for a malformed block.
    explicit FileOpenDialog(const QByteArray &persisted, QWidget *parent = nullptr);

    void put(int dispatchId, const DispatchValue &value) override;
    DispatchValue get(int dispatchId) override;

    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

    // The real modal Qt Open dialog.
    static std::optional<QString> showQtDialog(const Request &request);

    // The filter shown for index `filterIndex` counting from 1: below 1 the first, above the
    // count the last.
    static std::size_t clampFilterIndex(int filterIndex, std::size_t filterCount);

    // Whether `block` is a well-formed 76-byte persisted block of this component.
    static bool isWellFormedBlock(const QByteArray &block);
    // The block every design holds.
    static QByteArray designBlock();

private:
    void showOpen();

    QString m_filter;
    int m_filterIndex = 0;
    QString m_fileName;
    Presenter m_presenter;
};

} // namespace zyr::media
