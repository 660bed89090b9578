// The compound file binary format: reading versions 3 and 4, writing version 3.
#pragma once

#include <span>
#include <vector>

#include "node.h"

namespace qv::storage {

// True when the bytes begin with the format's signature.
bool has_signature(std::span<const unsigned char> bytes);

// Reads a whole file into a tree. STG_E_INVALIDHEADER for bytes that are not
// a compound file; STG_E_DOCFILECORRUPT for one that breaks the format
// (chains that loop, cross or leave the file, directory trees that loop or
// point outside, sizes the chains do not hold). Nothing read is trusted: the
// tree never takes more memory than the file's own size in stream bytes.
HRESULT read_compound_file(std::span<const unsigned char> bytes, NodePtr& root);

// The tree as a version 3 file, with a balanced red-black directory tree.
std::vector<unsigned char> write_compound_file(const Node& root);

}  // namespace qv::storage
