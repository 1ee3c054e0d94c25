// Fuzz target: the file-open dialog's 76-byte persisted block (FileOpenDialog::isWellFormedBlock,
// which the dialog's constructor asks before it takes a design's block).
//
// Every field of the block is fixed, so the promise is exact: a block is well formed if and only
// if it is the block designBlock() writes, byte for byte. The input is taken as it is, and also
// laid over the design block from a byte offset (the input's first byte), so that the fuzzer
// works on near-valid blocks from the start.

#include "FuzzCheck.h"

#include "media/FileOpenDialog.h"

using zyr::media::FileOpenDialog;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray design = FileOpenDialog::designBlock();
    ZYR_FUZZ_CHECK(design.size() == FileOpenDialog::kBlockSize);
    ZYR_FUZZ_CHECK(FileOpenDialog::isWellFormedBlock(design));

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ZYR_FUZZ_CHECK(FileOpenDialog::isWellFormedBlock(bytes) == (bytes == design));

    if (size > 0) {
        const qsizetype at = data[0] % (FileOpenDialog::kBlockSize + 1);
        QByteArray overlaid = design;
        const qsizetype count = std::min<qsizetype>(bytes.size() - 1, design.size() - at);
        overlaid.replace(at, count, bytes.mid(1, count));
        ZYR_FUZZ_CHECK(overlaid.size() == design.size());
        ZYR_FUZZ_CHECK(FileOpenDialog::isWellFormedBlock(overlaid) == (overlaid == design));
    }
    return 0;
}
