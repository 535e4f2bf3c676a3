#include "output_checks.h"

#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace {

// Lines without their '\n'; a text that does not end with one keeps its
// unfinished last line, which the callers refuse.
std::vector<std::string> linesOf(const std::string& text, bool* finished)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            *finished = false;
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    *finished = true;
    return lines;
}

std::string lineError(size_t number, const std::string& what, const std::string& line)
{
    return "line " + std::to_string(number + 1) + ": " + what + ": \"" + line.substr(0, 200) + "\"";
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool startsWith(const std::string& text, const char* start)
{
    return text.compare(0, strlen(start), start) == 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// " = 0x0000abcd" (8 lower-case hex digits) or " = -12" with -d.
bool endsWithValue(const std::string& line, bool decimal)
{
    if (!decimal) {
        if (line.size() < 13 || line.compare(line.size() - 13, 5, " = 0x") != 0) {
            return false;
        }
        for (size_t i = line.size() - 8; i < line.size(); i++) {
            if (!isDigit(line[i]) && !(line[i] >= 'a' && line[i] <= 'f')) {
                return false;
            }
        }
        return true;
    }
    size_t at = line.rfind(" = ");
    if (at == std::string::npos) {
        return false;
    }
    std::string number = line.substr(at + 3);
    size_t first = number.size() > 0 && number[0] == '-' ? 1 : 0;
    if (first == number.size()) {
        return false;
    }
    for (size_t i = first; i < number.size(); i++) {
        if (!isDigit(number[i])) {
            return false;
        }
    }
    return number.size() - first <= 10;
}

} // namespace

std::string checkTables(const std::string& out, int screenWidth)
{
    bool finished = true;
    std::vector<std::string> lines = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    size_t screen = static_cast<size_t>(screenWidth);
    size_t i = 0;
    while (i < lines.size()) {
        if (lines[i].empty()) {
            i++;
            continue;
        }
        const std::string& title = lines[i];
        if (title.size() != screen - 1 && title.size() < screen) {
            return lineError(i, "a title line not as wide as the screen less one", title);
        }
        size_t first = ++i;
        while (i < lines.size() && !lines[i].empty()) {
            const std::string& row = lines[i];
            if (row[0] != '|') {
                return lineError(i, "a table line that does not start with its border", row);
            }
            if (row.size() != lines[first].size()) {
                return lineError(i, "a table line of another width than the table's " +
                                        std::to_string(lines[first].size()), row);
            }
            if (row.size() > screen - 1) {
                return lineError(i, "a table line wider than the screen", row);
            }
            i++;
        }
        if (i - first < 2) {
            return lineError(first - 1, "a table without its heading row and rule", title);
        }
        const std::string& last = lines[i - 1];
        if (!startsWith(last, "|-") || last.find_first_not_of("-+| ") != std::string::npos ||
            last.find_first_of("+|", 1) == std::string::npos) {
            return lineError(i - 1, "a table not closed by a rule", last);
        }
        if (i + 1 >= lines.size() || !lines[i + 1].empty()) {
            return lineError(i - 1, "a table not followed by two empty lines", last);
        }
    }
    return "";
}

std::string checkList(const std::string& out, bool decimal)
{
    bool finished = true;
    std::vector<std::string> lines = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    for (size_t i = 0; i < lines.size(); i++) {
        size_t firstSeparator = lines[i].find(" : ");
        if (firstSeparator == std::string::npos ||
            lines[i].find(" : ", firstSeparator + 3) == std::string::npos ||
            !endsWithValue(lines[i], decimal)) {
            return lineError(i, "not \"Object : Instance : Counter = value\"", lines[i]);
        }
    }
    return "";
}

std::string checkLongList(const std::string& out, bool decimal)
{
    bool finished = true;
    std::vector<std::string> lines = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    int depth = 0; // 1: after an object line, 2: after an instance line
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (startsWith(line, "Performance Object: ")) {
            depth = 1;
        } else if (startsWith(line, "  Performance Object Instance: ") && depth >= 1) {
            depth = 2;
        } else if (startsWith(line, "    Performance Object Instance Counter: ") && depth == 2) {
            if (!endsWithValue(line, decimal)) {
                return lineError(i, "a counter line without its value", line);
            }
        } else {
            return lineError(i, "no line of the long list, or out of its place", line);
        }
    }
    return "";
}

std::string checkNameListing(const std::string& out, bool objectsOnly)
{
    bool finished = true;
    std::vector<std::string> lines = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    if (lines.empty() || lines[0] != "System Performance Objects:") {
        return "no heading";
    }
    const std::string instancesHeading = "\t    Performance Object Instances:";
    const std::string countersHeading = "\t    Performance Object Counters:";
    // 0: an object line is due (or, without -LO, may be followed by its
    // instance heading); 1: inside the instances; 2: inside the counters.
    int section = 0;
    bool objectOpen = false;
    for (size_t i = 1; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] != '\t') {
            return lineError(i, "a listing line that does not start with a tab", line);
        }
        if (objectsOnly) {
            continue;
        }
        if (line == instancesHeading && objectOpen && section == 0) {
            section = 1;
        } else if (line == countersHeading && section == 1) {
            section = 2;
        } else if (section != 0 && startsWith(line, "\t\t")) {
            continue;
        } else if (section != 1) {
            // An object's line: its sections done, or none begun (a listing cut short).
            if (objectOpen && section == 0) {
                return lineError(i, "an object without its instances and counters", line);
            }
            section = 0;
            objectOpen = true;
        } else {
            return lineError(i, "a line out of its section", line);
        }
    }
    return "";
}

// ---- CSV ----

std::string checkCsv(const std::string& out, size_t rows)
{
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    size_t at = 0;
    bool fieldStarted = false;
    while (at < out.size()) {
        char c = out[at];
        if (c == '"' && !fieldStarted) {
            // A quoted field: up to the quote that no other doubles.
            at++;
            for (;;) {
                if (at >= out.size()) {
                    return "a quoted field that never closes";
                }
                if (out[at] == '"') {
                    if (at + 1 < out.size() && out[at + 1] == '"') {
                        field.push_back('"');
                        at += 2;
                        continue;
                    }
                    at++;
                    break;
                }
                field.push_back(out[at++]);
            }
            fieldStarted = true;
            if (at < out.size() && out[at] != ',' && out[at] != '\n' && out[at] != '\r') {
                return "a byte after a closing quote: record " + std::to_string(records.size() + 1);
            }
            continue;
        }
        if (c == ',') {
            record.push_back(field);
            field.clear();
            fieldStarted = false;
            at++;
            continue;
        }
        if (c == '\r' || c == '\n') {
            if (c == '\r' && (at + 1 >= out.size() || out[at + 1] != '\n')) {
                return "a bare carriage return outside quotes";
            }
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
            fieldStarted = false;
            at += c == '\r' ? 2 : 1;
            continue;
        }
        if (c == '"') {
            return "a quote inside an unquoted field: record " + std::to_string(records.size() + 1);
        }
        field.push_back(c);
        fieldStarted = true;
        at++;
    }
    if (fieldStarted || !record.empty()) {
        return "the last record has no line end";
    }
    if (records.empty()) {
        return "no header";
    }
    if (!startsWith(records[0][0], "(PDH-CSV 4.0) (")) {
        return "the header does not begin with the log's signature";
    }
    for (size_t i = 1; i < records.size(); i++) {
        if (records[i].size() != records[0].size()) {
            return "record " + std::to_string(i + 1) + " has " + std::to_string(records[i].size()) +
                   " fields, the header " + std::to_string(records[0].size());
        }
        for (size_t f = 1; f < records[i].size(); f++) {
            const std::string& value = records[i][f];
            if (value != " " && value.find_first_not_of("0123456789.-e+") != std::string::npos) {
                return "record " + std::to_string(i + 1) + ": a value that is no number: " + value;
            }
        }
    }
    if (rows != ANY_COUNT && records.size() != rows + 1) {
        return std::to_string(records.size() - 1) + " rows, not " + std::to_string(rows);
    }
    return "";
}

// ---- JSON ----

namespace {

struct Json {
    enum Kind { NUL, BOOLEAN, NUMBER, STRING, ARRAY, OBJECT } kind = NUL;
    std::string text; // a string's value, a number's text
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    bool document(Json* value)
    {
        skipBlanks();
        if (!parseValue(value, 0)) {
            return false;
        }
        skipBlanks();
        return fail(at_ == text_.size() ? "" : "text after the value");
    }

    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what)
    {
        if (!what.empty() && error_.empty()) {
            error_ = what + " at byte " + std::to_string(at_);
        }
        return what.empty();
    }

    void skipBlanks()
    {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            at_++;
        }
    }

    bool literal(const char* word)
    {
        size_t length = strlen(word);
        if (text_.compare(at_, length, word) != 0) {
            return fail("an unknown literal");
        }
        at_ += length;
        return true;
    }

    bool parseValue(Json* value, int depth)
    {
        if (depth > 64) {
            return fail("nesting too deep");
        }
        if (at_ >= text_.size()) {
            return fail("a value is missing");
        }
        char c = text_[at_];
        if (c == '{') {
            return parseObject(value, depth);
        }
        if (c == '[') {
            return parseArray(value, depth);
        }
        if (c == '"') {
            value->kind = Json::STRING;
            return parseString(&value->text);
        }
        if (c == 't' || c == 'f') {
            value->kind = Json::BOOLEAN;
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value->kind = Json::NUL;
            return literal("null");
        }
        value->kind = Json::NUMBER;
        return parseNumber(&value->text);
    }

    bool digits()
    {
        size_t start = at_;
        while (at_ < text_.size() && isDigit(text_[at_])) {
            at_++;
        }
        return at_ > start;
    }

    bool parseNumber(std::string* number)
    {
        size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') {
            at_++;
        }
        if (at_ < text_.size() && text_[at_] == '0') {
            at_++;
        } else if (!digits()) {
            return fail("not a number");
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            at_++;
            if (!digits()) {
                return fail("a fraction without digits");
            }
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            at_++;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
                at_++;
            }
            if (!digits()) {
                return fail("an exponent without digits");
            }
        }
        *number = text_.substr(start, at_ - start);
        return true;
    }

    bool hex4(unsigned* code)
    {
        *code = 0;
        for (int i = 0; i < 4; i++) {
            if (at_ >= text_.size()) {
                return fail("a short \\u escape");
            }
            char c = text_[at_++];
            unsigned digit = isDigit(c)               ? unsigned(c - '0')
                             : (c >= 'a' && c <= 'f') ? unsigned(c - 'a' + 10)
                             : (c >= 'A' && c <= 'F') ? unsigned(c - 'A' + 10)
                                                      : 16u;
            if (digit == 16) {
                return fail("a bad \\u escape");
            }
            *code = *code * 16 + digit;
        }
        return true;
    }

    static void appendUtf8(std::string* out, unsigned code)
    {
        if (code < 0x80) {
            out->push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (code >> 6)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (code >> 12)));
            out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (code >> 18)));
            out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    bool parseString(std::string* value)
    {
        at_++;
        value->clear();
        for (;;) {
            if (at_ >= text_.size()) {
                return fail("a string that never closes");
            }
            unsigned char c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return fail("a control byte inside a string");
            }
            if (c != '\\') {
                value->push_back(static_cast<char>(c));
                continue;
            }
            if (at_ >= text_.size()) {
                return fail("an escape at the end");
            }
            char e = text_[at_++];
            const char* simple = strchr("\"\\/bfnrt", e);
            if (e != '\0' && simple != nullptr) {
                static const char DECODED[] = "\"\\/\b\f\n\r\t";
                value->push_back(DECODED[simple - "\"\\/bfnrt"]);
                continue;
            }
            if (e != 'u') {
                return fail("an unknown escape");
            }
            unsigned code = 0;
            if (!hex4(&code)) {
                return false;
            }
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (text_.compare(at_, 2, "\\u") != 0) {
                    return fail("a lone high surrogate");
                }
                at_ += 2;
                if (!hex4(&low) || low < 0xDC00 || low > 0xDFFF) {
                    return fail("a high surrogate without its low one");
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return fail("a lone low surrogate");
            }
            appendUtf8(value, code);
        }
    }

    bool parseArray(Json* value, int depth)
    {
        value->kind = Json::ARRAY;
        at_++;
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == ']') {
            at_++;
            return true;
        }
        for (;;) {
            skipBlanks();
            value->items.emplace_back();
            if (!parseValue(&value->items.back(), depth + 1)) {
                return false;
            }
            skipBlanks();
            if (at_ < text_.size() && text_[at_] == ',') {
                at_++;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') {
                at_++;
                return true;
            }
            return fail("an array without its ',' or ']'");
        }
    }

    bool parseObject(Json* value, int depth)
    {
        value->kind = Json::OBJECT;
        at_++;
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == '}') {
            at_++;
            return true;
        }
        std::set<std::string> keys;
        for (;;) {
            skipBlanks();
            if (at_ >= text_.size() || text_[at_] != '"') {
                return fail("an object member without its name");
            }
            std::string key;
            if (!parseString(&key)) {
                return false;
            }
            if (!keys.insert(key).second) {
                return fail("a member name twice");
            }
            skipBlanks();
            if (at_ >= text_.size() || text_[at_] != ':') {
                return fail("a member without ':'");
            }
            at_++;
            skipBlanks();
            value->members.emplace_back(key, Json());
            if (!parseValue(&value->members.back().second, depth + 1)) {
                return false;
            }
            skipBlanks();
            if (at_ < text_.size() && text_[at_] == ',') {
                at_++;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') {
                at_++;
                return true;
            }
            return fail("an object without its ',' or '}'");
        }
    }

    const std::string& text_;
    size_t at_ = 0;
    std::string error_;
};

const Json* member(const Json& object, const char* name)
{
    for (const auto& entry : object.members) {
        if (entry.first == name) {
            return &entry.second;
        }
    }
    return nullptr;
}

// One sample line: time, host and samples, each sample whole and once.
std::string checkSampleLine(const Json& line)
{
    const Json* time = member(line, "time");
    const Json* host = member(line, "host");
    const Json* samples = member(line, "samples");
    if (line.kind != Json::OBJECT || time == nullptr || time->kind != Json::STRING ||
        host == nullptr || host->kind != Json::STRING || samples == nullptr ||
        samples->kind != Json::ARRAY) {
        return "a line without its time, host and samples";
    }
    std::set<std::tuple<std::string, std::string, std::string, std::string>> seen;
    for (const Json& sample : samples->items) {
        const Json* object = member(sample, "object");
        const Json* instance = member(sample, "instance");
        const Json* index = member(sample, "index");
        const Json* counter = member(sample, "counter");
        const Json* value = member(sample, "value");
        if (object == nullptr || object->kind != Json::STRING || instance == nullptr ||
            (instance->kind != Json::STRING && instance->kind != Json::NUL) || index == nullptr ||
            (index->kind != Json::NUMBER && index->kind != Json::NUL) ||
            (instance->kind == Json::NUL) != (index->kind == Json::NUL) || counter == nullptr ||
            counter->kind != Json::STRING || value == nullptr ||
            (value->kind != Json::NUMBER && value->kind != Json::NUL)) {
            return "a sample without its object, instance, index, counter and value";
        }
        std::string instanceKey = instance->kind == Json::NUL ? std::string("\x01null", 5)
                                                              : "\"" + instance->text;
        if (!seen.emplace(object->text, instanceKey, index->text, counter->text).second) {
            return "a sample twice: " + object->text + " / " + instance->text + " #" +
                   index->text + " / " + counter->text;
        }
    }
    return "";
}

} // namespace

std::string checkJsonLines(const std::string& out, size_t lines)
{
    if (!validUtf8(out)) {
        return "not valid UTF-8";
    }
    bool finished = true;
    std::vector<std::string> texts = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    for (size_t i = 0; i < texts.size(); i++) {
        JsonParser parser(texts[i]);
        Json line;
        if (!parser.document(&line)) {
            return lineError(i, "no JSON: " + parser.error(), texts[i]);
        }
        std::string wrong = checkSampleLine(line);
        if (!wrong.empty()) {
            return lineError(i, wrong, texts[i]);
        }
    }
    if (lines != ANY_COUNT && texts.size() != lines) {
        return std::to_string(texts.size()) + " lines, not " + std::to_string(lines);
    }
    return "";
}

std::string checkJsonDocument(const std::string& out)
{
    if (!validUtf8(out)) {
        return "not valid UTF-8";
    }
    if (out.empty() || out.back() != '\n' || out.find('\n') != out.size() - 1) {
        return "not one line";
    }
    JsonParser parser(out);
    Json document;
    if (!parser.document(&document)) {
        return "no JSON: " + parser.error();
    }
    const Json* objects = member(document, "objects");
    if (document.kind != Json::OBJECT || objects == nullptr || objects->kind != Json::ARRAY) {
        return "a document without its objects";
    }
    return "";
}

// ---- Prometheus ----

namespace {

bool metricNameByte(char c, bool first)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           (!first && isDigit(c));
}

bool labelNameByte(char c, bool first)
{
    return c != ':' && metricNameByte(c, first);
}

// A name at `at`; moves past it.
std::string takeName(const std::string& line, size_t* at, bool (*allowed)(char, bool))
{
    size_t start = *at;
    while (*at < line.size() && allowed(line[*at], *at == start)) {
        (*at)++;
    }
    return line.substr(start, *at - start);
}

// A float as Go's ParseFloat takes it, or NaN and the infinities.
bool sampleValue(const std::string& text)
{
    if (text == "NaN" || text == "+Inf" || text == "-Inf" || text == "Inf") {
        return true;
    }
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        at++;
    }
    size_t digitsBefore = 0;
    while (at < text.size() && isDigit(text[at])) {
        at++;
        digitsBefore++;
    }
    size_t digitsAfter = 0;
    if (at < text.size() && text[at] == '.') {
        at++;
        while (at < text.size() && isDigit(text[at])) {
            at++;
            digitsAfter++;
        }
    }
    if (digitsBefore + digitsAfter == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        at++;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            at++;
        }
        size_t exponent = 0;
        while (at < text.size() && isDigit(text[at])) {
            at++;
            exponent++;
        }
        if (exponent == 0) {
            return false;
        }
    }
    return at == text.size();
}

struct Family {
    bool help = false;
    bool type = false;
    bool sampled = false;
    bool closed = false; // other families' lines came after its own
    std::string kind;
};

// The family a sample's name belongs to: its own, or for histograms and
// summaries the name without the series suffix.
std::string familyOf(const std::string& name, const std::map<std::string, Family>& families)
{
    if (families.count(name) != 0) {
        return name;
    }
    for (const char* suffix : {"_sum", "_count", "_bucket", "_total", "_created"}) {
        if (endsWith(name, suffix)) {
            std::string base = name.substr(0, name.size() - strlen(suffix));
            auto found = families.find(base);
            if (found != families.end() && found->second.kind != "gauge" &&
                found->second.kind != "untyped") {
                return base;
            }
        }
    }
    return name;
}

} // namespace

std::string checkPrometheus(const std::string& out)
{
    if (!validUtf8(out)) {
        return "not valid UTF-8";
    }
    bool finished = true;
    std::vector<std::string> lines = linesOf(out, &finished);
    if (!finished) {
        return "the output ends inside a line";
    }
    std::map<std::string, Family> families;
    std::set<std::string> series;
    std::string current;
    auto enter = [&](const std::string& family) {
        if (family != current) {
            if (!current.empty()) {
                families[current].closed = true;
            }
            current = family;
        }
        return !families[family].closed;
    };
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (line.empty()) {
            continue;
        }
        if (line[0] == '#') {
            bool help = startsWith(line, "# HELP ");
            bool type = startsWith(line, "# TYPE ");
            if (!help && !type) {
                continue; // a comment
            }
            size_t at = 7;
            std::string name = takeName(line, &at, metricNameByte);
            if (name.empty() || (at < line.size() && line[at] != ' ')) {
                return lineError(i, "a HELP or TYPE line without a metric name", line);
            }
            Family& family = families[name];
            if (!enter(name)) {
                return lineError(i, "a family's lines apart from each other", line);
            }
            std::string rest = at < line.size() ? line.substr(at + 1) : "";
            if (help) {
                if (family.help) {
                    return lineError(i, "a second HELP", line);
                }
                family.help = true;
                for (size_t k = 0; k < rest.size(); k++) {
                    if (rest[k] == '\\') {
                        if (k + 1 >= rest.size() || (rest[k + 1] != '\\' && rest[k + 1] != 'n')) {
                            return lineError(i, "a HELP text with a bad escape", line);
                        }
                        k++;
                    }
                }
            } else {
                if (family.type) {
                    return lineError(i, "a second TYPE", line);
                }
                if (family.sampled) {
                    return lineError(i, "a TYPE after its samples", line);
                }
                if (rest != "counter" && rest != "gauge" && rest != "histogram" &&
                    rest != "summary" && rest != "untyped") {
                    return lineError(i, "an unknown TYPE", line);
                }
                family.type = true;
                family.kind = rest;
            }
            continue;
        }
        size_t at = 0;
        std::string name = takeName(line, &at, metricNameByte);
        if (name.empty()) {
            return lineError(i, "a sample without a metric name", line);
        }
        std::set<std::string> labelNames;
        std::map<std::string, std::string> labels;
        if (at < line.size() && line[at] == '{') {
            at++;
            while (at < line.size() && line[at] != '}') {
                std::string label = takeName(line, &at, labelNameByte);
                if (label.empty() || at + 1 >= line.size() || line[at] != '=' || line[at + 1] != '"') {
                    return lineError(i, "a label without its name, '=' and quote", line);
                }
                at += 2;
                std::string value;
                for (;;) {
                    if (at >= line.size()) {
                        return lineError(i, "a label value that never closes", line);
                    }
                    char c = line[at++];
                    if (c == '"') {
                        break;
                    }
                    if (c == '\\') {
                        if (at >= line.size() ||
                            (line[at] != '\\' && line[at] != '"' && line[at] != 'n')) {
                            return lineError(i, "a label value with a bad escape", line);
                        }
                        value.push_back(line[at] == 'n' ? '\n' : line[at]);
                        at++;
                        continue;
                    }
                    value.push_back(c);
                }
                if (!labels.emplace(label, value).second) {
                    return lineError(i, "a label twice", line);
                }
                if (at < line.size() && line[at] == ',') {
                    at++;
                } else if (at >= line.size() || line[at] != '}') {
                    return lineError(i, "labels without ',' or '}'", line);
                }
            }
            if (at >= line.size()) {
                return lineError(i, "labels that never close", line);
            }
            at++;
        }
        if (at >= line.size() || line[at] != ' ') {
            return lineError(i, "a sample without a blank before its value", line);
        }
        while (at < line.size() && line[at] == ' ') {
            at++;
        }
        size_t end = line.find(' ', at);
        std::string value = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!sampleValue(value)) {
            return lineError(i, "a sample value that is no number", line);
        }
        if (end != std::string::npos) {
            std::string stamp = line.substr(end + 1);
            size_t first = !stamp.empty() && stamp[0] == '-' ? 1 : 0;
            if (stamp.size() == first || stamp.find_first_not_of("0123456789", first) != std::string::npos) {
                return lineError(i, "a timestamp that is no integer", line);
            }
        }
        std::string family = familyOf(name, families);
        if (!enter(family)) {
            return lineError(i, "a family's lines apart from each other", line);
        }
        families[family].sampled = true;
        std::string key = name;
        for (const auto& label : labels) {
            key += '\x01' + label.first + '\x02' + label.second;
        }
        if (!series.insert(key).second) {
            return lineError(i, "a series twice", line);
        }
    }
    return "";
}

bool validUtf8(const std::string& text)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = at + text.size();
    while (at < end) {
        unsigned char lead = *at;
        size_t length = 1;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            at++;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - at) < length || at[1] < low || at[1] > high) {
            return false;
        }
        for (size_t i = 2; i < length; i++) {
            if (at[i] < 0x80 || at[i] > 0xBF) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

long forbiddenControl(const std::string& text, const char* allowed)
{
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && (c == 0 || strchr(allowed, c) == nullptr)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}
