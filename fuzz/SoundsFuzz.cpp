// Sound files as the streaming tracks read them: the first byte picks a WAV
// file, an Ogg Vorbis file or a raw entry of the "raw" archive; the rest is
// the file (or the entry). A decoder that opens it is read to its end (or a
// bound), looped, sought and rewound, as a track does.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzSupport.h"
#include "services/ArchiveIndex.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"
#include "sound/SoundDecoder.h"

namespace {
// A one-entry "raw" archive holding the bytes as "s.wav".
void writeRawArchive(const std::uint8_t* data, std::size_t size) {
    archive_index::RecordBytes record =
        archive_index::encodeRecord("s.wav", {0, static_cast<std::uint32_t>(size)});
    fuzz::writeFile("raw\\idx.dat", record.data(), record.size());
    fuzz::writeFile("raw\\arc.dat", data, size);
    fuzz::asWorker([] { g_archiveManager->loadIndex("raw"); });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto& folder = fuzz::gameFolderWith({"raw"});
    (void)folder;
    if (!g_archiveManager) g_archiveManager = new ArchiveManager();
    if (size < 1) return 0;
    const SoundKind kinds[] = {kSoundKindWav, kSoundKindOgg, kSoundKindRaw};
    const SoundKind kind = kinds[data[0] % 3];
    if (kind == kSoundKindRaw) {
        writeRawArchive(data + 1, size - 1);
    } else {
        fuzz::writeFile("s.wav", data + 1, size - 1);
    }
    std::unique_ptr<SoundDecoder> decoder(SoundDecoder::create(kind));
    WAVEFORMATEX format{};
    if (FAILED(decoder->open("s.wav", &format))) return 0;
    std::uint8_t pcm[4096];
    for (int i = 0; i < 64 && !decoder->isEnded(); ++i) decoder->read(pcm, sizeof pcm);
    decoder->setLoop(1);
    decoder->setLoopStart(decoder->getDataSize() / 2);
    decoder->seekPcm(decoder->getDataSize() / 3);
    for (int i = 0; i < 8; ++i) decoder->read(pcm, sizeof pcm);
    decoder->tellTime();
    decoder->getTotalTime();
    decoder->rewind();
    decoder->read(pcm, sizeof pcm);
    decoder->close();
    return 0;
}
