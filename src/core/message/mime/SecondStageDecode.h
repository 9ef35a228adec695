#pragma once
// The second decoding of a received message's attachments: a part that
// holds BinHex 4.0 or uuencode text was stored as that text, and the file
// inside it is decoded into the attachment directory as a further
// attachment.

#include <filesystem>
#include <vector>

namespace corvina {

class MailMessage;
class MimeTypeTable;
class UserPrompt;

// Decodes every application/mac-binhex40 and application/x-uuencode
// attachment of `message` (those present when called) into `attachDir`,
// appending an entry typed by its file name for each file made and its
// path to `createdFiles`. A file larger than kMaxSecondStageBytes, or one
// that memory cannot be had for, is left as it is, with
// the notice kInsufficientMemoryText given through `prompt`, which also
// chooses where a file goes when the directory has no free name for it.
void DecodeTextEncodedAttachments(MailMessage& message, const MimeTypeTable& types,
                                  const std::filesystem::path& attachDir, UserPrompt* prompt,
                                  std::vector<std::filesystem::path>& createdFiles);

}  // namespace corvina
