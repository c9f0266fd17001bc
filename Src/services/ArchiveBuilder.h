// Builds a folder's archive ("arc.dat" and "idx.dat") from the loose files in
// the folder, stored in byte-wise name order in one of the stored forms.
//
// The two files are written as temporary files beside the old ones and
// renamed over them only when the whole folder has been stored, so a failed
// build leaves the previous archive as it was.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/HResult.h"

enum class ArchiveForm {
    Unchanged,         // the file as it is (meshes, sounds)
    Scrambled,         // the file scrambled byte by byte
    RunLength,         // the file run-length coded (textures)
    HuffmanScrambled,  // the file Huffman coded, then scrambled (scripts)
};

namespace archive_builder {

// The largest stored size a read accepts (a read of this size or more fails).
inline constexpr std::uint32_t kReadBufferSize = 8 * 1024 * 1024;

// The form the engine reads a folder in, from the folder's name (ignoring
// ASCII case): "texture" run-length coded, "script" Huffman coded and
// scrambled, every other folder unchanged.
ArchiveForm formForFolder(std::string_view folderName);

// True for the files a build of that form does not store: the archive's own
// files, and "Thumbs.db" in the run-length form.
bool isLeftOut(const std::string& name, ArchiveForm form);

// The build. File names it cannot store as they are are logged first
// (checkNames, ArchiveNames.h), then the build goes on as it always has. A folder that cannot be listed, a file that cannot be read, a
// file whose stored form would not fit the reader's buffers, or a failed write
// stops it with a failure line and E_FAIL; 0 on success. The run-length build
// leaves out "Thumbs.db".
HRESULT build(std::string_view folder, ArchiveForm form);

}  // namespace archive_builder
