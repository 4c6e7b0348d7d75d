// The program's help file: one HTML page, ROOT/hlp/<program base name>.html, with a section per
// help topic whose id is the topic number (or, for the topics only the contents lead to, a word).
// The build writes it from the help source and the table sources (tools/help_builder).
#pragma once

#include <string>

// A command's topic is this plus its symbol number, so that every command has one.
inline constexpr int kCommandHelpTopicBase = 10000;
// The topic the file opens with, and help on using help.
inline constexpr char kContentsTopic[] = "contents";
inline constexpr char kUsingHelpTopic[] = "using_help";
inline constexpr char kHelpFileExtension[] = ".html";

// The topic with the id as plain text: headings and paragraphs each followed by a blank line,
// list items begun with "- ", lines shown as typed indented by four blanks. False when the
// file cannot be read or has no such topic.
bool help_topic_text(const std::string& path, const std::string& id, std::string& text);
// The same for the text of a page already read.
bool help_topic_text_of(const std::string& page, const std::string& id, std::string& text);
