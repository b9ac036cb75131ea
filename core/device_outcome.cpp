#include "core/device_outcome.h"

#include <cstdio>
#include <cstring>

#include "res/string_table.h"

namespace qzm {

namespace {

// The system gave no words for it.
const char kNoReason[] = "no reason given";

// A receive failure the module's own tools count with the communication errors; this program's
// serial layer does not produce it, but a result of that value still reads as one.
constexpr int kReceiveFailed = -30;

std::string Reason(const std::string& text) {
    return text.empty() ? std::string(kNoReason) : text;
}

// How the exchange failed, as the execution error messages word it.
MessageText ExchangeText(int result) {
    switch (result) {
        case kProtocolTimeout:
        case kProtocolBadSync:
            return {kStrNotResponding, {}};
        case kProtocolShortHeader:
        case kReceiveFailed:
        case kProtocolTooMuchData:
            return {kStrCommunicationError, {}};
        case kProtocolNotSupported:
            return {kStrNotSupported, {}};
        default:
            return {kStrCommandFailed, {result}};
    }
}

MessageText PortDetail(const DeviceOutcome& o) {
    if (o.portLost)
        return {kStrPortDisconnected, {o.port}};
    switch (o.portError) {
        case kSerialOk:
            return {};
        case kSerialNotFound:
            return {kStrPortNotThere, {o.port, Reason(o.portText)}};
        case kSerialBusy:
            return {kStrPortBusy, {o.port, Reason(o.portText)}};
        default:
            return {kStrPortUnusable, {o.port, Reason(o.portText)}};
    }
}

MessageText FileDetail(const DeviceOutcome& o) {
    if (o.file.empty())
        return {};
    return {kStrCannotWrite, {o.file, Reason(o.fileText)}};
}

// Which reasons a message leaves out because its own text already says them.
enum class Said { kNothing, kExchange, kResponseCode };

// The first reason that applies: the port, a PC file, the module's refusal, the exchange. The
// exchange is left out where the message already says it and for -1, which is a refusal of the PC
// side that the message itself names; the refusal where the text shows the response code.
MessageText Detail(const DeviceOutcome& o, Said said) {
    MessageText detail = PortDetail(o);
    if (detail.id == 0)
        detail = FileDetail(o);
    if (detail.id == 0 && o.Refused() && said != Said::kResponseCode)
        detail = {kStrModuleRefused, {int{o.response}}};
    const bool withExchange = said != Said::kExchange;
    if (detail.id == 0 && withExchange && o.result != kProtocolOk && o.result != kProtocolNoConnection)
        detail = ExchangeText(o.result);
    return detail;
}

UserMessage Warning(MessageText text, MessageText detail = {}) {
    return {std::move(text), std::move(detail), MessageIcon::kWarning};
}

UserMessage Information(int id) {
    return {{id, {}}, {}, MessageIcon::kInformation};
}

// Appends one printf directive of a message text ("%s", "%02X", ...) filled with the argument; "?"
// when the argument does not suit the directive's conversion.
void AppendConversion(std::string& out, const std::string& directive, char conversion,
                      const MessageText::Arg* arg) {
    const bool wantsText = conversion == 's';
    if (arg == nullptr || std::holds_alternative<std::string>(*arg) != wantsText) {
        out += '?';
        return;
    }
    const auto print = [&](char* buffer, std::size_t size) {
        return wantsText ? std::snprintf(buffer, size, directive.c_str(), std::get<std::string>(*arg).c_str())
                         : std::snprintf(buffer, size, directive.c_str(), std::get<int>(*arg));
    };
    const int needed = print(nullptr, 0);
    if (needed <= 0)
        return;
    std::string piece(static_cast<std::size_t>(needed) + 1, '\0');
    print(piece.data(), piece.size());
    piece.resize(static_cast<std::size_t>(needed));
    out += piece;
}

}  // namespace

std::string MessageText::Format() const {
    const char* format = LoadString(id);
    std::string out;
    std::size_t next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
            continue;
        }
        // Flags, width and precision only: the table uses no length modifiers.
        const char* end = p + 1;
        while (*end != '\0' && std::strchr("-+ #0123456789.", *end) != nullptr)
            ++end;
        if (*end == '\0' || std::strchr("dixXucs", *end) == nullptr) {
            out.append(p, end);
            p = end - 1;
            continue;
        }
        const Arg* arg = next < args.size() ? &args[next] : nullptr;
        ++next;
        AppendConversion(out, std::string(p, end + 1), *end, arg);
        p = end;
    }
    return out;
}

std::string UserMessage::Format() const {
    std::string out = text.Format();
    if (detail.id == 0)
        return out;
    const std::size_t questionAt = asksQuestion ? out.rfind('\n') : std::string::npos;
    if (questionAt != std::string::npos)
        return out.substr(0, questionAt) + "\n" + detail.Format() + out.substr(questionAt);
    return out + (out.empty() ? "" : "\n") + detail.Format();
}

UserMessage MessageFor(const DeviceOutcome& o, DeviceOperation operation, const std::string& albumPath) {
    using Op = DeviceOperation;
    if (o.portError == kSerialNoPermission)
        return Warning({kStrNoPortPermission, {o.port, Reason(o.portText)}});
    if (o.notSetUpAgain)
        return Warning({kStrNotSetUpAgain, {o.port}}, Detail(o, Said::kNothing));
    const int response = o.response;
    switch (operation) {
        case Op::kConnection:
        case Op::kQuery:
        case Op::kSettings:
            if (o.ok())
                return {};
            return Warning({kStrNotResponding, {}}, Detail(o, Said::kExchange));
        case Op::kExecution:
            if (o.ok())
                return {};
            if (o.Refused())
                return Warning({kStrModuleRefused, {response}}, PortDetail(o));
            return Warning(ExchangeText(o.result), PortDetail(o));
        case Op::kRegistration:
            if (o.ok())
                return Information(kStrRegistrationSuccessful);
            if (o.result != kProtocolOk)
                return Warning({kStrNotResponding, {}}, PortDetail(o));
            if (!o.file.empty())
                return Warning({kStrPcDiffers, {o.file, Reason(o.fileText)}});
            if (response == 0x01)
                return Warning({kStrFaceNotFound, {}});
            if (response == 0x02)
                return Warning({kStrMultipleFaces, {}});
            return Warning({kStrRegistrationUnsuccessful, {}}, {kStrModuleRefused, {response}});
        case Op::kDeletion:
            if (o.ok())
                return Information(kStrDeleteCompleted);
            if (o.moduleChanged && !o.file.empty())
                return Warning({kStrPcDiffers, {o.file, Reason(o.fileText)}});
            return Warning({kStrDeleteFailed, {}}, Detail(o, Said::kNothing));
        case Op::kAlbumLoad:
            if (o.ok())
                return Information(kStrAlbumLoaded);
            return Warning({kStrCannotOpenAlbum, {albumPath, response}}, Detail(o, Said::kResponseCode));
        case Op::kAlbumSave:
            if (o.ok())
                return Information(kStrAlbumSaved);
            return Warning({kStrCannotSaveAlbum, {albumPath, response}}, Detail(o, Said::kResponseCode));
        case Op::kStartupRestore:
            if (o.ok())
                return {};
            // Asked with Yes and No: try again?
            return {{kStrCannotLoadBackup, {response}},
                    Detail(o, Said::kResponseCode),
                    MessageIcon::kInformation,
                    true};
        case Op::kStartupCheck:
            if (o.ok())
                return {};
            return Warning({kStrStartupCheckNotRun, {}}, Detail(o, Said::kNothing));
        case Op::kCloseBackup:
            if (o.ok())
                return {};
            return Warning({kStrCannotSaveBackup, {response}}, Detail(o, Said::kResponseCode));
    }
    return {};
}

UserMessage MessageForDeletions(int done, int attempted) {
    if (done == attempted)
        return Information(kStrDeleteCompleted);
    return Warning({done == 0 ? kStrDeleteFailed : kStrSomeUsersNotDeleted, {}});
}

}  // namespace qzm
