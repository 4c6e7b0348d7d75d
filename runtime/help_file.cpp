#include "runtime/help_file.h"

#include <fstream>
#include <sstream>

namespace {

// The page is ours and regular: tags without attributes other than id and href, and the four
// entities below.
std::string decoded(const std::string& text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool matched = false;
        if (text[i] == '&') {
            for (const auto& [name, c] : kEntities) {
                if (text.compare(i, std::string(name).size(), name) == 0) {
                    out += c;
                    i += std::string(name).size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched) out += text[i++];
    }
    return out;
}

std::string tag_name(const std::string& tag) {
    std::size_t end = tag.find_first_of(" >", 1);
    if (end == std::string::npos) end = tag.size();
    return tag.substr(1, end - 1);
}

}  // namespace

bool help_topic_text_of(const std::string& page, const std::string& id, std::string& text) {
    const std::string open = "<section id=\"" + id + "\">";
    const std::size_t start = page.find(open);
    if (id.empty() || start == std::string::npos) return false;
    const std::size_t stop = page.find("</section>", start);
    if (stop == std::string::npos) return false;
    const std::string body = page.substr(start + open.size(), stop - start - open.size());

    std::string out;
    std::string indent;  // what a line break inside the current block is followed by
    for (std::size_t i = 0; i < body.size();) {
        if (body[i] == '<') {
            const std::size_t close = body.find('>', i);
            if (close == std::string::npos) break;
            const std::string name = tag_name(body.substr(i, close - i + 1));
            i = close + 1;
            if (name == "li") {
                out += "- ";
                indent = "  ";
            } else if (name == "pre") {
                out += "    ";
                indent = "    ";
            } else if (name == "/p" || name == "/h1" || name == "/h2" || name == "/h3") {
                out += "\n\n";
            } else if (name == "/li") {
                out += "\n";
                indent.clear();
            } else if (name == "/ul") {
                out += "\n";
            } else if (name == "/pre") {
                // A break that ends the last line is the pre's own: the indent it added goes.
                if (out.size() >= 4 && out.compare(out.size() - 4, 4, "    ") == 0) {
                    out.erase(out.size() - 4);
                }
                out += out.empty() || out.back() != '\n' ? "\n\n" : "\n";
                indent.clear();
            }
            continue;
        }
        const std::size_t next = body.find('<', i);
        const std::string piece =
            decoded(body.substr(i, next == std::string::npos ? std::string::npos : next - i));
        i = next == std::string::npos ? body.size() : next;
        for (char c : piece) {
            if (c != '\n') {
                out += c;
            } else if (!out.empty() && out.back() != '\n') {
                out += '\n';
                out += indent;
            }
        }
    }
    // Blocks end with a blank line; the topic ends with its last line.
    text.clear();
    for (char c : out) {
        if (c == '\n' && text.size() >= 2 && text[text.size() - 1] == '\n' &&
            text[text.size() - 2] == '\n') {
            continue;
        }
        text += c;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    text += '\n';
    return true;
}

bool help_topic_text(const std::string& path, const std::string& id, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream page;
    page << in.rdbuf();
    return help_topic_text_of(page.str(), id, text);
}
