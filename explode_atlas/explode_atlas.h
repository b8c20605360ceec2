// Cutting the entries of an atlas index out of their atlas images.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <string_view>

#include "atlas_index.h"
#include "font_sheet.h"
#include "surface_ptr.h"

// An atlas image while its entries are cut, with the colour key it was loaded with (turned off
// on the surface itself, so that blits copy every pixel).
struct AtlasImage {
    SurfacePtr surface;
    bool keyed = false;
    Uint32 key = 0;
};

// Where an atlas run reads and writes.
struct AtlasRun {
    const char* index_path;
    char atlas_prefix[kPathBufferSize];   // atlas directory and "/"
    char output_prefix[kPathBufferSize];  // output directory and "/"
};

// `directory` followed by "/" in `prefix`; false when that does not fit.
bool format_prefix(char (&prefix)[kPathBufferSize], const char* directory);

// The offset file of the entry whose PNG file is `name` under `output_prefix`: the entry path
// cut before the first ".png" inside `name` (the prefix is never cut), then ".offset". False
// when it does not fit.
bool format_offset_name(char (&path)[kPathBufferSize], const char* output_prefix,
                        std::string_view name);

// Loads the atlas image of `header` (messages on standard error name it); false when it cannot
// be loaded or its path does not fit. Warns when the header's size differs from the image's.
bool open_atlas_image(const AtlasRun& run, const ImageHeader& header, AtlasImage& image);

// Writes the entry's PNG file and its offset file. Returns false, after a message on standard
// error, when the entry was refused or either file could not be written.
bool explode_entry(const AtlasRun& run, const AtlasImage& image, const IndexEntry& entry);
