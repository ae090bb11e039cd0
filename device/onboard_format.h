#pragma once
// The on-board profile: the byte image of one profile's button functions that the mouse keeps
// in its own memory and plays without the agent, and its decoding back into assignment codes.
//
// The image is a 77-byte header and a data area of small scripts. The header holds 14 button
// entries (type, data offset, data length; numbers big-endian); each code's encoding comes from
// the function catalogue, macros from the profile's own macros. The mouse answers the header
// without its first two bytes, so the decoder takes it in that form. Everything read from the
// mouse is bounds-checked: an entry that leaves the data it was given decodes as BUTTON_OFF (9).
// Standard library only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/buttons.h"
#include "profile/records.h"

namespace orv {

inline constexpr size_t kOnboardHeaderSize = 77;  // as written
inline constexpr size_t kOnboardEntryCount = kPhysicalButtonCount;
inline constexpr size_t kOnboardStoredHeaderSize = 75;  // as the mouse keeps it and reads it back: 5 + 14 x 5
// The logical button of each entry, in entry order (the order of kPhysicalButtons).
inline constexpr std::array<int, kOnboardEntryCount> kOnboardEntryButtons = OnboardEntryButtons();
// The most data bytes one on-board read or write request carries.
inline constexpr size_t kOnboardChunkSize = 4096;
// The code of a button whose entry cannot be decoded.
inline constexpr int kOnboardOffCode = 9;

struct OnboardImage {
  std::array<uint8_t, kOnboardHeaderSize> header{};
  std::vector<uint8_t> data;  // header bytes 5-6 hold its length
  // False when the data did not fit the transfer buffer: then some entries hold fewer events
  // than their codes need (never half an event) and the image must not be written.
  bool complete = true;
};

// The image of the buttons of `profile` for a transfer buffer of `bufferSize` bytes: the data
// area takes at most bufferSize - 5 bytes. An event (with its delay) is written whole or not at
// all; once one does not fit nothing more is written and `complete` is false.
OnboardImage EncodeOnboardProfile(const Profile& profile, size_t bufferSize);

// The image that leaves the mouse's buttons their own meaning: header byte 0 = the profile
// index (0-9), entry k of type k + 1, no data.
OnboardImage NeutralOnboardImage(int profileIndex);

// A copy of `active` with the 14 button codes taken from a header as read back from the mouse
// (`headerAsRead` = written header from byte 2 on: byte 0 the entry count, bytes 3-4 the data
// length, entry k at 5 + 5k) and `dataSize` bytes of data read. A script that matches no code
// becomes a new macro "LoadFromMouse" in the first free macro slot. A header shorter than
// kOnboardStoredHeaderSize or whose count is not 14 leaves the copy unchanged. Never reads
// outside the two buffers.
Profile DecodeOnboardProfile(const uint8_t* headerAsRead, size_t headerSize, const uint8_t* data, size_t dataSize,
                             const Profile& active);

// True for the neutral image as read back: data length 0 and the first 13 entries of types
// 1-13 in order. False for a header too short to tell.
bool IsNeutralHeader(const uint8_t* headerAsRead, size_t size);
// True when a header as read back is worth offering: long enough, 14 entries, not neutral.
bool UsableOnboardHeader(const uint8_t* headerAsRead, size_t size);

}  // namespace orv
