// Fuzz target: the media device control and the file-open dialog as a window drives them: the
// Command strings (parseMediaCommand, then the control's commands), property writes and reads
// by dispatch id with values of every type (dispatchAs), button presses with and without a
// handler cancelling them, and the device's own events, in any order. The device is the control
// tests' fake; the dialog answers through a presenter that chooses or cancels.
//
// The input is a script: an opcode byte, then what that operation reads. Promises checked after
// every step, besides the sanitizers:
//   - a Command string never raises; Error is 0 or one of the documented codes, with a message
//     exactly when it is not 0; Length and Position are read as 32-bit values, 0 <= Position <=
//     Length; UpdateInterval reads back as written, negative values as 0;
//   - property access raises only ComponentError, with a message and a code of the kinds the
//     windows know (type mismatch 13, no such property 438, invalid value 380, cancelled
//     32755), and only for an unknown id, a read-only one or a value of the wrong type;
//   - no button is enabled while no device is open;
//   - Done carries 1, 2, 4 or 8, and comes once for every play that ends: never more often than
//     plays were started (a resume from Pause starts none), and after Close and the event queue
//     run dry, exactly as often;
//   - the dialog shows one of its filters, cancelling it raises 32755 and keeps FileName, and a
//     chosen path becomes FileName.

#include "FuzzCheck.h"

#include "media/ComponentError.h"
#include "media/control/FakeDevice.h"
#include "media/FileOpenDialog.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"

#include <QApplication>
#include <QPointer>

#include <array>
#include <memory>

using namespace zyr::media;
using zyr::fuzz::FuzzInput;
using zyr::test::FakeDevice;

namespace {

constexpr std::array<MediaErrorCode, 11> kErrorCodes{MediaErrorCode::None,
                                                     MediaErrorCode::Internal,
                                                     MediaErrorCode::UnknownCommand,
                                                     MediaErrorCode::NoDeviceOpen,
                                                     MediaErrorCode::UnknownDeviceType,
                                                     MediaErrorCode::DeviceNotReady,
                                                     MediaErrorCode::UnsupportedCommand,
                                                     MediaErrorCode::FileNotFound,
                                                     MediaErrorCode::FileUnreadable,
                                                     MediaErrorCode::UnsupportedFormat,
                                                     MediaErrorCode::CorruptMedia};

constexpr std::array<const char *, 16> kCommandWords{
    "Open", "Close",  "Play",  "Pause", "Stop", "Prev",  "Next", "Back",
    "Step", "Record", "Eject", "Load",  "",     "Play ", "Plya", "play\tx"};

constexpr std::array<int, 8> kControlIds{MediaControl::kDeviceType, MediaControl::kFileName,
                                         MediaControl::kCommand,    MediaControl::kLength,
                                         MediaControl::kPosition,   MediaControl::kUpdateInterval,
                                         MediaControl::kError,      0};
constexpr std::array<int, 5> kDialogIds{FileOpenDialog::kFileName, FileOpenDialog::kFilter,
                                        FileOpenDialog::kFilterIndex, FileOpenDialog::kAction, 2};

// A command word with its letters' case flipped by the bits of `mask`, or any string.
QString commandText(FuzzInput &in)
{
    const std::uint8_t pick = in.u8();
    if (pick >= 0xF0)
        return in.text();
    QString word = QString::fromLatin1(kCommandWords[pick % kCommandWords.size()]);
    const std::uint16_t mask = in.u16();
    for (qsizetype i = 0; i < word.size() && i < 16; ++i)
        if (mask & (1u << i))
            word[i] = word[i].isUpper() ? word[i].toLower() : word[i].toUpper();
    return word;
}

DispatchValue anyValue(FuzzInput &in)
{
    switch (in.u8() % 5) {
    case 0:
        return std::monostate{};
    case 1:
        return in.u8() % 2 ? commandText(in) : in.text();
    case 2:
        return static_cast<std::int16_t>(in.u16());
    case 3:
        return static_cast<std::int32_t>(in.u32());
    default:
        return in.flag();
    }
}

int anyId(FuzzInput &in, const int *ids, std::size_t count)
{
    const std::uint8_t pick = in.u8();
    return pick < 0xE0 ? ids[pick % count] : int(in.u16()) - 0x8000;
}

bool isKnownComponentCode(int code)
{
    return code == ComponentError::kTypeMismatch || code == ComponentError::kNoSuchProperty ||
           code == ComponentError::kInvalidPropertyValue || code == ComponentError::kCancelled;
}

// Runs a property access; the only exception allowed out of it is a ComponentError with a
// known code and a message. Returns the code, 0 when nothing was raised.
template <typename Access> int guarded(Access access)
{
    try {
        access();
    } catch (const ComponentError &e) {
        ZYR_FUZZ_CHECK(isKnownComponentCode(e.code()));
        ZYR_FUZZ_CHECK(e.what()[0] != '\0');
        return e.code();
    }
    return 0;
}

void drain()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

struct Script {
    std::unique_ptr<MediaControl> control;
    std::unique_ptr<FileOpenDialog> dialog;
    QPointer<FakeDevice> device; // the device the control holds, if any
    // What the next device opened is like.
    std::int64_t length = 10000;
    std::vector<std::int64_t> tracks{0};
    DeviceCapabilities caps;
    bool failOpen = false;
    bool cancelButtons = false;
    // Plays started, as seen from outside: device play() calls that are not resumes.
    int playsStarted = 0;
    int dones = 0;
    // What the dialog's presenter answers.
    bool choose = true;
    QString chosen;
    std::int16_t filterIndexWritten = 0;
    QString fileName;

    Script()
    {
        control = std::make_unique<MediaControl>(
            MediaControlSettings::toPersisted(6456, 661, 1000, 0xFFFF));
        DeviceContext context;
        context.makeDevice = [this](const QString &) {
            auto fake = std::make_unique<FakeDevice>();
            fake->length = length;
            fake->tracks = tracks;
            fake->caps = caps;
            fake->failOpen = failOpen;
            device = fake.get();
            return fake;
        };
        control->setDeviceContext(std::move(context));
        QObject::connect(control.get(), &MediaControl::done, [this](int code) {
            ZYR_FUZZ_CHECK(code == MediaControl::kNotifySuccessful ||
                           code == MediaControl::kNotifySuperseded ||
                           code == MediaControl::kNotifyAborted ||
                           code == MediaControl::kNotifyFailure);
            ++dones;
        });
        QObject::connect(control.get(), &MediaControl::buttonClick,
                         [this](MediaButton, bool &cancel) { cancel = cancelButtons; });

        dialog = std::make_unique<FileOpenDialog>(FileOpenDialog::designBlock());
        dialog->setPresenter([this](const FileOpenDialog::Request &request) {
            ZYR_FUZZ_CHECK(!request.filters.empty());
            ZYR_FUZZ_CHECK(request.selectedFilter < request.filters.size());
            ZYR_FUZZ_CHECK(request.fileName == fileName);
            return choose ? std::optional<QString>(chosen) : std::nullopt;
        });
    }

    // Runs `step` and counts the plays it starts.
    template <typename Step> void counted(Step step)
    {
        const bool paused = control->mode() == ControlMode::Paused;
        const qsizetype callsBefore = device ? device->calls.count(QStringLiteral("play")) : 0;
        FakeDevice *before = device.data();
        step();
        if (device && device.data() == before) {
            const qsizetype plays = device->calls.count(QStringLiteral("play")) - callsBefore;
            ZYR_FUZZ_CHECK(plays <= 1);
            if (plays == 1 && !paused)
                ++playsStarted;
        }
    }

    void check()
    {
        const auto error = static_cast<MediaErrorCode>(control->error());
        ZYR_FUZZ_CHECK(std::find(kErrorCodes.begin(), kErrorCodes.end(), error) !=
                       kErrorCodes.end());
        ZYR_FUZZ_CHECK((error == MediaErrorCode::None) == control->errorMessage().isEmpty());
        ZYR_FUZZ_CHECK(std::get<std::int16_t>(control->get(MediaControl::kError)) ==
                       control->error());
        const auto length = std::get<std::int32_t>(control->get(MediaControl::kLength));
        const auto position = std::get<std::int32_t>(control->get(MediaControl::kPosition));
        ZYR_FUZZ_CHECK(0 <= position && position <= length);
        ZYR_FUZZ_CHECK(std::get<std::int16_t>(control->get(MediaControl::kUpdateInterval)) >= 0);
        ZYR_FUZZ_CHECK((control->mode() == ControlMode::NoDevice) == !device);
        if (!device) {
            for (const MediaButtonInfo &info : kMediaButtons)
                ZYR_FUZZ_CHECK(!control->button(info.button)->isEnabled());
        }
        ZYR_FUZZ_CHECK(dones <= playsStarted);
    }

    void step(FuzzInput &in)
    {
        switch (in.u8() % 10) {
        case 0: // a written command
        case 1: {
            const QString command = commandText(in);
            counted([&] {
                ZYR_FUZZ_CHECK(guarded([&] { control->put(MediaControl::kCommand, command); }) ==
                               0);
            });
            break;
        }
        case 2: { // any property written with any value
            const int id = anyId(in, kControlIds.data(), kControlIds.size());
            const DispatchValue value = anyValue(in);
            counted([&] {
                const int code = guarded([&] { control->put(id, value); });
                if (code == 0 && id == MediaControl::kUpdateInterval) {
                    const auto written = std::get<std::int16_t>(value);
                    ZYR_FUZZ_CHECK(std::get<std::int16_t>(control->get(id)) ==
                                   std::max<std::int16_t>(0, written));
                }
            });
            break;
        }
        case 3: { // any property read
            const int id = anyId(in, kControlIds.data(), kControlIds.size());
            const bool known =
                id != 0 && id != MediaControl::kCommand &&
                std::find(kControlIds.begin(), kControlIds.end(), id) != kControlIds.end();
            ZYR_FUZZ_CHECK((guarded([&] { control->get(id); }) == 0) == known);
            break;
        }
        case 4: { // a button pressed, perhaps cancelled by the window's handler
            const auto which = kMediaButtons[in.u8() % kMediaButtons.size()].button;
            cancelButtons = in.u8() < 0x40;
            counted([&] { control->button(which)->click(); });
            break;
        }
        case 5:
            drain();
            break;
        case 6: // the device's own events
            if (device) {
                switch (in.u8() % 3) {
                case 0:
                    device->finish();
                    break;
                case 1:
                    emit device->playbackFailed(
                        makeError(ErrorKind::FileUnreadable, QStringLiteral("read error")));
                    break;
                default:
                    emit device->pausedFromOutside();
                    break;
                }
            }
            break;
        case 7: { // what the next device opened is like
            length = std::int64_t(in.u32()) << (in.u8() % 12);
            tracks.clear();
            std::int64_t start = 0;
            for (int n = in.u8() % 6; n > 0 && start <= length; --n) {
                tracks.push_back(start);
                start += in.u32() % (length / 2 + 1) + 1;
            }
            const std::uint8_t bits = in.u8();
            caps = {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            failOpen = (bits & 8) != 0;
            if (device && (bits & 16))
                device->position = std::int64_t(in.u32()) % (device->length + 1);
            break;
        }
        case 8: { // the dialog: any property written or read
            const int id = anyId(in, kDialogIds.data(), kDialogIds.size());
            const DispatchValue value = anyValue(in);
            choose = in.flag();
            chosen = in.text();
            if (in.flag()) {
                ZYR_FUZZ_CHECK(guarded([&] { dialog->get(id); }) ==
                               (id == FileOpenDialog::kFileName || id == FileOpenDialog::kFilter ||
                                        id == FileOpenDialog::kFilterIndex
                                    ? 0
                                    : ComponentError::kNoSuchProperty));
                break;
            }
            const int code = guarded([&] { dialog->put(id, value); });
            if (code == 0 && id == FileOpenDialog::kFileName)
                fileName = std::get<QString>(value);
            if (code == 0 && id == FileOpenDialog::kFilterIndex)
                filterIndexWritten = std::get<std::int16_t>(value);
            if (id == FileOpenDialog::kAction && code != ComponentError::kTypeMismatch) {
                const bool open = std::get<std::int16_t>(value) == FileOpenDialog::kActionOpen;
                ZYR_FUZZ_CHECK(code == (!open    ? ComponentError::kInvalidPropertyValue
                                        : choose ? 0
                                                 : ComponentError::kCancelled));
                if (code == 0)
                    fileName = chosen;
            }
            ZYR_FUZZ_CHECK(std::get<QString>(dialog->get(FileOpenDialog::kFileName)) == fileName);
            ZYR_FUZZ_CHECK(std::get<std::int16_t>(dialog->get(FileOpenDialog::kFilterIndex)) ==
                           filterIndexWritten);
            break;
        }
        default: // DeviceType and FileName as a window writes them
            control->put(in.flag() ? MediaControl::kDeviceType : MediaControl::kFileName,
                         in.text());
            break;
        }
        check();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    // Lives as long as the process: libFuzzer never returns from its loop.
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    Script script;
    for (int steps = 0; !in.empty() && steps < 64; ++steps)
        script.step(in);

    // Close ends whatever plays; once the queue has run dry, every play has reported.
    script.counted([&] { script.control->put(MediaControl::kCommand, QStringLiteral("Close")); });
    drain();
    script.check();
    ZYR_FUZZ_CHECK(script.dones == script.playsStarted);
    return 0;
}
