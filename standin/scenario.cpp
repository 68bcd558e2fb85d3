#include "standin/scenario.h"

#include "standin/bounded_file.h"
#include "standin/callerid_device.h"
#include "standin/line_signal.h"
#include "standin/wav.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace standin {
namespace {

// A statement's words after the keyword: its positional words first, then key=value
// options and bare flags in any order. Every option and flag must be known to it.
struct Statement {
    std::string keyword;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
};

// A refused statement; the parser adds the file name and line number.
struct Refusal {
    std::string reason;
};

// Splits a line into words: blanks separate, double quotes group (key="two words"),
// '#' outside quotes starts a comment.
std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : line) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == '#') {
            break;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        throw Refusal{"unterminated quoted text"};
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

Statement toStatement(std::vector<std::string> words) {
    Statement s;
    s.keyword = words[0];
    bool inOptions = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const auto& w = words[i];
        const auto eq = w.find('=');
        if (eq != std::string::npos) {
            const auto key = w.substr(0, eq);
            if (key.empty())
                throw Refusal{"\"" + w + "\" has no option name before \"=\""};
            if (!s.options.emplace(key, w.substr(eq + 1)).second)
                throw Refusal{"option \"" + key + "\" given twice"};
            inOptions = true;
        } else if (inOptions) {
            s.flags.insert(w);
        } else { // beyond the statement's own positional words, a flag (Reader)
            s.positional.push_back(w);
        }
    }
    return s;
}

class Reader {
public:
    explicit Reader(Statement s) : s_(std::move(s)) {}

    // The first `count` words are positional (named in `usage` for the message);
    // words after them are flags.
    void expectPositional(std::size_t count, const char* usage) {
        if (s_.positional.size() < count)
            throw Refusal{"expected \"" + std::string(usage) + "\""};
        s_.flags.insert(s_.positional.begin() + count, s_.positional.end());
        s_.positional.resize(count);
    }
    const std::string& positional(std::size_t i) const { return s_.positional[i]; }

    bool has(const std::string& key) const { return s_.options.count(key) != 0; }
    std::string text(const std::string& key, std::string fallback) {
        used_.insert(key);
        const auto it = s_.options.find(key);
        return it == s_.options.end() ? fallback : it->second;
    }
    double number(const std::string& key, double fallback, double lo, double hi) {
        if (!has(key)) {
            used_.insert(key);
            return fallback;
        }
        return parseNumber(key, text(key, ""), lo, hi);
    }
    bool flag(const std::string& name) {
        usedFlags_.insert(name);
        return s_.flags.count(name) != 0;
    }
    // Refuses options and flags the statement does not know.
    void finish() const {
        for (const auto& [key, value] : s_.options)
            if (!used_.count(key))
                throw Refusal{"unknown option \"" + key + "\" for \"" + s_.keyword + "\""};
        for (const auto& f : s_.flags)
            if (!usedFlags_.count(f))
                throw Refusal{"unknown word \"" + f + "\" for \"" + s_.keyword + "\""};
    }

    static double parseNumber(const std::string& what, const std::string& value, double lo,
                              double hi) {
        double v = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, v);
        if (value.empty() || ec != std::errc() || ptr != end || !std::isfinite(v))
            throw Refusal{what + " \"" + value + "\" is not a number"};
        if (v < lo || v > hi) {
            std::ostringstream m;
            m << what << " " << value << " is outside " << lo << " to " << hi;
            throw Refusal{m.str()};
        }
        return v;
    }

private:
    Statement s_;
    std::set<std::string> used_, usedFlags_;
};

std::uint16_t parseId(const std::string& what, const std::string& value) {
    std::string_view v = value;
    if (v.size() > 2 && (v.substr(0, 2) == "0x" || v.substr(0, 2) == "0X"))
        v.remove_prefix(2);
    unsigned id = 0;
    const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), id, 16);
    if (v.empty() || v.size() > 4 || ec != std::errc() || ptr != v.data() + v.size())
        throw Refusal{what + " \"" + value + "\" is not a hexadecimal id of up to 4 digits"};
    return static_cast<std::uint16_t>(id);
}

bool isHex8(const std::string& s) {
    if (s.size() != 8)
        return false;
    for (const char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool isPrintableAscii(const std::string& s) {
    for (const char c : s)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

std::string digitsOption(Reader& r, const std::string& key, const char* fallback) {
    auto v = r.text(key, fallback);
    if (v.size() != 4 || v.find_first_not_of("0123456789") != std::string::npos)
        throw Refusal{key + " \"" + v + "\" is not four digits"};
    return v;
}

std::string textOption(Reader& r, const std::string& key, std::size_t maxLength) {
    auto v = r.text(key, "");
    if (v.size() > maxLength)
        throw Refusal{key + " is longer than " + std::to_string(maxLength) + " characters"};
    if (!isPrintableAscii(v))
        throw Refusal{key + " holds characters other than printable ASCII"};
    return v;
}

platform::Microseconds parseTime(const std::string& value) {
    const double seconds = Reader::parseNumber("time", value, 0.0, 86400.0);
    return platform::Microseconds(std::llround(seconds * 1e6));
}

std::u16string widen(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

constexpr std::size_t kMaxFieldLength = 32;

class ScenarioParser {
public:
    ScenarioParser(const std::string& baseDirectory, Scenario& out)
        : base_(baseDirectory), out_(out) {}

    void statement(Statement s) {
        const std::string k = s.keyword;
        Reader r(std::move(s));
        if (k == "mode")
            mode(r);
        else if (k == "device" || k == "foreign")
            device(r, k == "device");
        else if (k == "line")
            line(r);
        else if (k == "call")
            call(r);
        else if (k == "ring")
            ring(r);
        else if (k == "wav")
            wav(r);
        else if (const auto action = deviceAction(k))
            event(r, *action);
        else
            throw Refusal{"unknown statement \"" + k + "\""};
        r.finish();
    }

    // Instance ids the file left open, chosen so that none repeats.
    void finishDevices() {
        std::set<std::string> used;
        for (const auto& d : out_.devices)
            used.insert(d.description.instanceId);
        unsigned next = 0x5A1E0001;
        for (auto& d : out_.devices) {
            if (!d.description.instanceId.empty())
                continue;
            char id[9];
            do
                std::snprintf(id, sizeof id, "%08x", next++);
            while (used.count(id));
            used.insert(id);
            d.description.instanceId = id;
            if (d.callerId && defaultSerial_.count(d.name))
                d.description.serialString = widen(id);
        }
    }

private:
    static std::optional<platform::DeviceAction> deviceAction(const std::string& k) {
        using A = platform::DeviceAction;
        static const std::map<std::string, A> actions{
            {"plug", A::Plug},     {"unplug", A::Unplug},        {"silent", A::GoSilent},
            {"resume", A::Resume}, {"hold", A::HoldExclusively}, {"release", A::ReleaseExclusive}};
        const auto it = actions.find(k);
        return it == actions.end() ? std::nullopt : std::optional(it->second);
    }

    void mode(Reader& r) {
        r.expectPositional(1, "mode fast|real-time");
        if (modeSeen_)
            throw Refusal{"mode given twice"};
        modeSeen_ = true;
        if (r.positional(0) == "fast")
            out_.mode = platform::ClockMode::Fast;
        else if (r.positional(0) == "real-time")
            out_.mode = platform::ClockMode::RealTime;
        else
            throw Refusal{"mode \"" + r.positional(0) + "\" is neither fast nor real-time"};
    }

    void device(Reader& r, bool callerId) {
        r.expectPositional(1, callerId ? "device NAME [options]" : "foreign NAME vid=.. pid=..");
        ScenarioDevice d;
        d.name = r.positional(0);
        if (find(d.name))
            throw Refusal{"device \"" + d.name + "\" declared twice"};
        d.callerId = callerId;
        auto& desc = d.description;
        if (!callerId && (!r.has("vid") || !r.has("pid")))
            throw Refusal{"a foreign device needs vid= and pid="};
        if (r.has("vid"))
            desc.vendorId = parseId("vid", r.text("vid", ""));
        if (r.has("pid"))
            desc.productId = parseId("pid", r.text("pid", ""));
        desc.productString =
            widen(r.has("product") ? textOption(r, "product", 126)
                                   : std::string(callerId ? "Norvellix Device V0.0" : ""));
        desc.instanceId = r.text("instance", "");
        if (!desc.instanceId.empty() && !isHex8(desc.instanceId))
            throw Refusal{"instance \"" + desc.instanceId + "\" is not 8 hexadecimal digits"};
        for (const auto& other : out_.devices)
            if (!desc.instanceId.empty() && other.description.instanceId == desc.instanceId)
                throw Refusal{"instance " + desc.instanceId + " is already device \"" + other.name +
                              "\"'s"};
        desc.interfacePath = textOption(r, "path", 250);
        const auto serial = r.text("serial", "");
        if (!r.has("serial")) {
            desc.serialString.reset();
            if (callerId) {
                if (desc.instanceId.empty())
                    defaultSerial_.insert(d.name);
                else
                    desc.serialString = widen(desc.instanceId);
            }
        } else if (serial == "none") {
            desc.serialString.reset();
        } else if (serial == "languages") {
            // A device that answers the serial request with its language list.
            desc.serialString = std::u16string(desc.languages.begin(), desc.languages.end());
        } else {
            desc.serialString = widen(textOption(r, "serial", 126));
        }
        desc.heldExclusively = r.flag("held");
        desc.silent = r.flag("silent");
        d.waitsForStartCommand = r.flag("wait-start");
        d.plugged = !r.flag("unplugged");
        out_.devices.push_back(std::move(d));
    }

    std::size_t callerIdDevice(const std::string& name) const {
        const auto index = find(name);
        if (!index)
            throw Refusal{"no device \"" + name + "\" declared before this line"};
        if (!out_.devices[*index].callerId)
            throw Refusal{"\"" + name + "\" is a foreign device and has no lines"};
        return *index;
    }

    static int lineNumber(const std::string& value) {
        if (value.size() != 1 || value[0] < '1' || value[0] > '4')
            throw Refusal{"line \"" + value + "\" is not 1, 2, 3 or 4"};
        return value[0] - '0';
    }

    void line(Reader& r) {
        r.expectPositional(2, "line DEVICE 1..4 [zero=..] [noise=..]");
        const auto device = callerIdDevice(r.positional(0));
        auto& l = out_.devices[device].lines[lineNumber(r.positional(1)) - 1];
        l.zeroLevel = static_cast<int>(std::lround(r.number("zero", l.zeroLevel, 0, 255)));
        l.noiseRms = r.number("noise", l.noiseRms, 0, 100);
    }

    // The time, device and line of a signal statement.
    ScenarioSignal placed(Reader& r, const char* usage) {
        r.expectPositional(3, usage);
        ScenarioSignal s;
        const auto at = parseTime(r.positional(0));
        s.startSample = sampleAtMicroseconds(at.count());
        s.device = callerIdDevice(r.positional(1));
        s.line = lineNumber(r.positional(2));
        return s;
    }

    void call(Reader& r) {
        auto s = placed(r, "call TIME DEVICE LINE [number=..] [options]");
        const auto type = r.text("type", "mdmf");
        if (type != "sdmf" && type != "mdmf")
            throw Refusal{"type \"" + type + "\" is neither sdmf nor mdmf"};
        const auto format =
            type == "sdmf" ? MessageFormat::SingleData : MessageFormat::MultipleData;
        CallInfo info;
        info.number = textOption(r, "number", kMaxFieldLength);
        info.dateTime = digitsOption(r, "date", "0101") + digitsOption(r, "time", "1200");
        info.name = textOption(r, "name", kMaxFieldLength);
        if (format == MessageFormat::SingleData && !info.name.empty())
            throw Refusal{"a single-data message (type=sdmf) carries no name"};
        BurstLayout layout;
        layout.trailingMarkBits = static_cast<int>(r.number("trailing-marks", 10, 0, 10000));
        layout.seizureBits = static_cast<int>(r.number("seizure-bits", 300, 0, 10000));
        layout.markBits = static_cast<int>(r.number("mark-bits", 180, 0, 10000));
        FskSettings fsk;
        fsk.amplitude = r.number("amplitude", fsk.amplitude, 0, 255);
        const double offset = r.number("frequency-offset", 0, -500, 500);
        fsk.markHz += offset;
        fsk.spaceHz += offset;
        fsk.baud = r.number("baud", fsk.baud, 600, 2400);
        fsk.noiseRms = r.number("noise", 0, 0, 100);
        fsk.noiseSeed = static_cast<std::uint32_t>(1000 + out_.signals.size());
        s.samples = synthesizeBurst(format, info, layout, fsk);
        place(std::move(s));
    }

    void ring(Reader& r) {
        auto s = placed(r, "ring TIME DEVICE LINE [duration=..] [amplitude=..]");
        const double duration = r.number("duration", 2.0, 0.001, 60);
        const double amplitude = r.number("amplitude", 100, 0, 255);
        const double frequency = r.number("frequency", 20, 1, 100);
        reserve(ringingLength(duration));
        s.samples = ringingSignal(duration, amplitude, frequency);
        place(std::move(s));
    }

    void wav(Reader& r) {
        auto s = placed(r, "wav TIME DEVICE LINE file=.. [level=..]");
        if (!r.has("file"))
            throw Refusal{"wav needs file="};
        auto file = r.text("file", "");
        if (!file.empty() && file[0] != '/' && file[0] != '\\' &&
            !(file.size() > 1 && file[1] == ':') && !base_.empty())
            file = base_ + "/" + file;
        const double level = r.number("level", 100, 0, 255);
        WavRecording recording;
        std::string why;
        if (!readWavFile(file, recording, why))
            throw Refusal{"WAV file refused: " + why};
        reserve(recording.samples.size());
        s.samples = replaySignal(recording, level);
        place(std::move(s));
    }

    // Signals are refused before they are made where their length is known first.
    void reserve(std::size_t samples) {
        if (samples > kMaxPlacedSignalSamples - placedSamples_)
            throw Refusal{"the scenario's signals would take more than " +
                          std::to_string(kMaxPlacedSignalSamples) + " samples"};
    }
    void place(ScenarioSignal s) {
        reserve(s.samples.size());
        placedSamples_ += s.samples.size();
        out_.signals.push_back(std::move(s));
    }

    void event(Reader& r, platform::DeviceAction action) {
        r.expectPositional(2, "plug|unplug|silent|resume|hold|release TIME DEVICE");
        ScenarioEvent e;
        e.at = parseTime(r.positional(0));
        e.action = action;
        const auto index = find(r.positional(1));
        if (!index)
            throw Refusal{"no device \"" + r.positional(1) + "\" declared before this line"};
        e.device = *index;
        out_.events.push_back(e);
    }

    std::optional<std::size_t> find(const std::string& name) const {
        for (std::size_t i = 0; i < out_.devices.size(); ++i)
            if (out_.devices[i].name == name)
                return i;
        return std::nullopt;
    }

    std::string base_;
    Scenario& out_;
    bool modeSeen_ = false;
    std::size_t placedSamples_ = 0;
    std::set<std::string> defaultSerial_; // caller-ID devices whose serial is their instance id
};

} // namespace

bool parseScenario(std::string_view text, const std::string& fileName,
                   const std::string& baseDirectory, Scenario& out, std::string& error) {
    out = Scenario{};
    ScenarioParser parser(baseDirectory, out);
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = std::min(text.find('\n', pos), text.size());
        const auto line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        try {
            auto words = splitWords(line);
            if (!words.empty())
                parser.statement(toStatement(std::move(words)));
        } catch (const Refusal& r) {
            error = fileName + ":" + std::to_string(lineNo) + ": " + r.reason;
            return false;
        } catch (const std::exception& e) {
            error = fileName + ":" + std::to_string(lineNo) + ": " + e.what();
            return false;
        }
    }
    parser.finishDevices();
    return true;
}

void installScenario(platform::SimulatedBus& bus, const Scenario& scenario) {
    bus.setMode(scenario.mode);
    std::vector<platform::DeviceId> ids;
    for (std::size_t i = 0; i < scenario.devices.size(); ++i) {
        const auto& d = scenario.devices[i];
        std::unique_ptr<platform::ReportSource> source;
        if (d.callerId) {
            std::array<LineSignal, kLinesPerDevice> lines;
            for (int l = 0; l < kLinesPerDevice; ++l)
                lines[l] = LineSignal(d.lines[l].zeroLevel, d.lines[l].noiseRms,
                                      static_cast<std::uint32_t>(4 * i + l + 1));
            for (const auto& s : scenario.signals)
                if (s.device == i)
                    lines[s.line - 1].place(s.startSample, s.samples);
            source = std::make_unique<CallerIdDeviceSource>(std::move(lines));
        } // a foreign device's reports stay all zero
        if (d.waitsForStartCommand)
            source = std::make_unique<WaitsForStartCommand>(std::move(source));
        ids.push_back(bus.addDevice(d.description, std::move(source), d.plugged));
    }
    for (const auto& e : scenario.events)
        bus.schedule(e.at, ids[e.device], e.action);
}

bool readScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::string text;
    switch (readBoundedFile(path, kMaxScenarioFileBytes, text)) {
    case FileRead::Ok:
        break;
    case FileRead::CannotOpen:
        error = path + ": cannot open the scenario file";
        return false;
    case FileRead::NotRegular:
        error = path + ": not a regular file";
        return false;
    case FileRead::TooLarge:
        error = path + ": larger than " + std::to_string(kMaxScenarioFileBytes) + " bytes";
        return false;
    case FileRead::CannotRead:
        error = path + ": cannot read the scenario file";
        return false;
    }
    const auto slash = path.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? path.substr(0, 1)
                                                        : path.substr(0, slash);
    return parseScenario(text, path, base, out, error);
}

bool installScenarioFile(platform::SimulatedBus& bus, const std::string& path, std::string& error) {
    Scenario scenario;
    if (!readScenarioFile(path, scenario, error))
        return false;
    installScenario(bus, scenario);
    return true;
}

platform::Microseconds scenarioLength(const Scenario& scenario) {
    platform::Microseconds end{0};
    for (const auto& e : scenario.events)
        end = std::max(end, e.at);
    for (const auto& s : scenario.signals) {
        const auto last = s.startSample + static_cast<std::int64_t>(s.samples.size());
        end = std::max(end, platform::Microseconds(last * 1000000 / kSampleRate));
    }
    return end;
}

} // namespace standin
