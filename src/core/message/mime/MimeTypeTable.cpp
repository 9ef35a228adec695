#include "message/mime/MimeTypeTable.h"

#include <algorithm>

#include "common/Bytes.h"
#include "platform/ConfigStore.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

struct BuiltInRow {
    const char* type;
    const char* subtype;
    const char* extensions;
};

constexpr BuiltInRow kBuiltInRows[] = {
    {"text", "plain", ".txt.text"},
    {"text", "html", ".html.htm"},
    {"image", "gif", ".gif"},
    {"image", "jpeg", ".jpg.jpeg.jpe"},
    {"image", "tiff", ".tiff.tif"},
    {"image", "x-MS-bmp", ".bmp"},
    {"audio", "basic", ".au.snd"},
    {"audio", "x-aiff", ".aiff.aif"},
    {"audio", "x-wav", ".wav"},
    {"audio", "x-pn-realaudio", ".ra.ram"},
    {"video", "quicktime", ".qt.mov"},
    {"application", "octet-stream", ".bin.exe"},
    {"application", "mac-binhex40", ".hqx"},
    {"application", "x-uuencode", ".uue.uu"},
    {"application", "postscript", ".eps.ps.ai"},
    {"application", "rtf", ".rtf"},
    {"application", "x-zip-compressed", ".zip"},
    {"application", "x-stuffit", ".sit"},
    {"message", "rfc822", ".eml"},
    {"video", "mpeg", ".mpg.mpeg.mpe"},
    {"video", "x-msvideo", ".avi"},
};

MimeAction ActionFromNumber(int action) {
    switch (action) {
        case 1:
            return MimeAction::Save;
        case 2:
            return MimeAction::Launch;
        default:
            return MimeAction::Default;
    }
}

}  // namespace

std::string_view MimeTypeEntry::PreferredExtension() const {
    return extensions.empty() ? std::string_view() : std::string_view(extensions.front());
}

MimeTypeTable::MimeTypeTable() {
    fallback_.type = "application";
    fallback_.subtype = "octet-stream";
    fallback_.extensions = {"bin", "exe"};
    Reset();
}

void MimeTypeTable::Reset() {
    rows_.clear();
    for (const BuiltInRow& row : kBuiltInRows) {
        MimeTypeEntry entry;
        entry.type = row.type;
        entry.subtype = row.subtype;
        entry.extensions = SplitExtensionText(row.extensions);
        rows_.push_back(std::move(entry));
    }
}

std::vector<std::string> MimeTypeTable::SplitExtensionText(std::string_view text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t dot = text.find('.', pos);
        if (dot == std::string_view::npos) {
            dot = text.size();
        }
        std::string_view piece = Trim(text.substr(pos, dot - pos));
        if (!piece.empty()) {
            out.emplace_back(piece);
        }
        pos = dot + 1;
    }
    return out;
}

std::string MimeTypeTable::JoinExtensions(const std::vector<std::string>& extensions) {
    std::string out;
    for (const std::string& ext : extensions) {
        out += '.';
        out += ext;
    }
    return out;
}

void MimeTypeTable::ApplyRow(std::string_view typeSlashSubtype, std::string_view application,
                             std::string_view extensionText, int action) {
    size_t slash = typeSlashSubtype.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 >= typeSlashSubtype.size()) {
        return;
    }
    std::string_view type = typeSlashSubtype.substr(0, slash);
    std::string_view subtype = typeSlashSubtype.substr(slash + 1);
    MimeTypeEntry* target = nullptr;
    for (MimeTypeEntry& row : rows_) {
        if (EqualNoCase(row.type, type) && EqualNoCase(row.subtype, subtype)) {
            target = &row;
            break;
        }
    }
    if (target == nullptr) {
        rows_.emplace_back();
        target = &rows_.back();
        target->type = type;
        target->subtype = subtype;
    }
    target->application = application;
    target->extensions = SplitExtensionText(extensionText);
    target->action = ActionFromNumber(action);
}

void MimeTypeTable::LoadFromConfig(const ConfigStore& store) {
    Reset();
    for (const std::string& name : store.SubKeys("MimeType")) {
        std::string section = "MimeType\\" + name;
        ApplyRow(name, store.GetString(section, "App"), store.GetString(section, "Ext"),
                 store.GetInt(section, "Act", 0));
    }
}

const MimeTypeEntry* MimeTypeTable::FindByType(std::string_view type,
                                               std::string_view subtype) const {
    for (const MimeTypeEntry& row : rows_) {
        if (EqualNoCase(row.type, type) && EqualNoCase(row.subtype, subtype)) {
            return &row;
        }
    }
    return nullptr;
}

const MimeTypeEntry& MimeTypeTable::FindByExtension(std::string_view extension) const {
    if (!extension.empty()) {
        for (const MimeTypeEntry& row : rows_) {
            for (const std::string& ext : row.extensions) {
                if (EqualNoCase(ext, extension)) {
                    return row;
                }
            }
        }
    }
    return fallback_;
}

const MimeTypeEntry& MimeTypeTable::FindByFileName(std::string_view fileName) const {
    size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) {
        return fallback_;
    }
    return FindByExtension(fileName.substr(dot + 1));
}

bool IsTextEncodedFileType(std::string_view subtype) {
    return EqualNoCase(subtype, "mac-binhex40") || EqualNoCase(subtype, "x-uuencode");
}

std::string_view FileTransferEncoding(std::string_view subtype) {
    return IsTextEncodedFileType(subtype) ? "7bit" : "base64";
}

void TypeAttachmentByFileName(AttachmentEntry& entry, const MimeTypeTable& types) {
    const MimeTypeEntry& row = types.FindByFileName(entry.path.filename().string());
    entry.type = row.type;
    entry.subtype = row.subtype;
    entry.encoding = FileTransferEncoding(row.subtype);
}

}  // namespace corvina
