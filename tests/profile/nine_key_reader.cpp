// The reader of the format's first nine keys, written from the format's own description and sharing
// nothing with the program's reader.
#include "nine_key_reader.h"

#include <sstream>

namespace twinfol::test {
namespace {

// Step 2 of reading: characters up to a "=", a run of 1024 without one dropped as a key of its own.
bool ReadKey(std::istream& in, std::string& key)
{
    key.clear();
    for (char c; in.get(c);) {
        if (c == '=')
            return true;
        key += c;
        if (key.size() == 1024)
            key.clear();
    }
    return false;
}

void RemoveWhiteSpace(std::string& key)
{
    std::erase_if(key, [](char c) { return std::string_view(" \t\n\v\f\r").find(c) != std::string::npos; });
}

void ReadLine(std::istream& in, std::string& value)
{
    if (std::getline(in, value) && value.ends_with('\r'))
        value.pop_back();
}

void ReadFlag(std::istream& in, bool& field)
{
    long number = 0;
    if (!(in >> number))
        return;
    if (number != 0 && number != 1)
        in.setstate(std::ios::failbit);
    else
        field = number == 1;
}

void ReadExclusionBlock(std::istream& in, std::vector<std::string>& entries)
{
    in >> std::ws;
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (line == "end_exclusions")
            return;
        entries.push_back(line);
    }
}

// Step 4: the value of a known key; an unknown key takes nothing.
void ReadValue(std::istream& in, const std::string& key, NineKeyFields& fields)
{
    if (key == "twin_fol_version") {
        fields.valid = true;
        double number = 0;
        in >> number;
    } else if (key == "location1") {
        ReadLine(in, fields.location1);
    } else if (key == "location2") {
        ReadLine(in, fields.location2);
    } else if (key == "delete_files") {
        ReadFlag(in, fields.deleteFiles);
    } else if (key == "confirm_deletes") {
        ReadFlag(in, fields.confirmDeletes);
    } else if (key == "add_files") {
        ReadFlag(in, fields.addFiles);
    } else if (key == "check_sub_folders") {
        ReadFlag(in, fields.checkSubFolders);
    } else if (key == "auto_start") {
        in >> fields.autoStart;
    } else if (key == "exclusions") {
        ReadExclusionBlock(in, fields.exclusions);
    }
}

} // namespace

NineKeyFields ReadWithNineKeys(const std::string& text)
{
    std::istringstream in(text);
    NineKeyFields fields;
    for (std::string key; in.good() && ReadKey(in, key);) {
        RemoveWhiteSpace(key);
        ReadValue(in, key, fields);
    }
    return fields.valid ? fields : NineKeyFields();
}

} // namespace twinfol::test
