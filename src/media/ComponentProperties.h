#pragma once
// Thin typed wrappers over the two components' dispatch interfaces, as the player windows use
// them: each property written or read by its dispatch id, with the value types the windows
// pass. Errors raised by the component (ComponentError) pass through unchanged.

#include "media/DispatchValue.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"

#include <QString>

#include <cstdint>

namespace zyr::media {

class MediaControlProperties {
public:
    explicit MediaControlProperties(Dispatchable &control) : m_control(control) {}

    void setDeviceType(const QString &type) { m_control.put(MediaControl::kDeviceType, type); }
    void setFileName(const QString &name) { m_control.put(MediaControl::kFileName, name); }
    void setCommand(const QString &command) { m_control.put(MediaControl::kCommand, command); }
    void setUpdateInterval(std::int16_t ms) { m_control.put(MediaControl::kUpdateInterval, ms); }
    void setTo(std::int32_t ms) { m_control.put(MediaControl::kTo, ms); }
    std::int32_t length()
    {
        return dispatchAs<std::int32_t>(m_control.get(MediaControl::kLength), "Length");
    }
    std::int32_t position()
    {
        return dispatchAs<std::int32_t>(m_control.get(MediaControl::kPosition), "Position");
    }
    std::int16_t error()
    {
        return dispatchAs<std::int16_t>(m_control.get(MediaControl::kError), "Error");
    }

private:
    Dispatchable &m_control;
};

class FileDialogProperties {
public:
    explicit FileDialogProperties(Dispatchable &dialog) : m_dialog(dialog) {}

    void setFilter(const QString &filter) { m_dialog.put(FileOpenDialog::kFilter, filter); }
    void setFilterIndex(std::int16_t index) { m_dialog.put(FileOpenDialog::kFilterIndex, index); }
    void setAction(std::int16_t action) { m_dialog.put(FileOpenDialog::kAction, action); }
    void setFileName(const QString &name) { m_dialog.put(FileOpenDialog::kFileName, name); }
    QString fileName()
    {
        return dispatchAs<QString>(m_dialog.get(FileOpenDialog::kFileName), "FileName");
    }

private:
    Dispatchable &m_dialog;
};

} // namespace zyr::media
