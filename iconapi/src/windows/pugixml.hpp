#pragma once

// The part of pugixml's interface the stand-in uses, on Boost.PropertyTree's
// header-only XML reader, for the Windows build: no pugixml is built for it.
// Values are read by pugixml's rules: a missing attribute gives the default,
// a present one is parsed as far as it goes.

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace pugi {

using Tree = boost::property_tree::ptree;

enum xml_parse_status { status_ok, status_file_not_found, status_io_error, status_bad };
enum format_flags : unsigned { format_indent = 1, format_no_declaration = 8 };

struct xml_parse_result {
    xml_parse_status status = status_ok;
    std::string message;
    explicit operator bool() const { return status == status_ok; }
    const char* description() const { return message.c_str(); }
};

class xml_attribute {
  public:
    xml_attribute() = default;
    xml_attribute(Tree* element, std::string name) : element_(element), name_(std::move(name)) {}

    explicit operator bool() const { return Value() != nullptr; }
    const char* as_string(const char* def = "") const {
        const std::string* value = Value();
        return value != nullptr ? value->c_str() : def;
    }
    int as_int(int def = 0) const {
        const std::string* value = Value();
        return value != nullptr
                   ? static_cast<int>(std::strtol(value->c_str(), nullptr, Base(*value)))
                   : def;
    }
    unsigned long long as_ullong(unsigned long long def = 0) const {
        const std::string* value = Value();
        return value != nullptr ? std::strtoull(value->c_str(), nullptr, Base(*value)) : def;
    }
    double as_double(double def = 0) const {
        const std::string* value = Value();
        return value != nullptr ? std::strtod(value->c_str(), nullptr) : def;
    }
    bool as_bool(bool def = false) const {
        const std::string* value = Value();
        if (value == nullptr) {
            return def;
        }
        const char first = value->empty() ? '\0' : (*value)[0];
        return first == '1' || first == 't' || first == 'T' || first == 'y' || first == 'Y';
    }

    xml_attribute& operator=(const char* value) { return Set(value); }
    xml_attribute& operator=(int value) { return Set(std::to_string(value)); }
    xml_attribute& operator=(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return Set(text);
    }

  private:
    // Hexadecimal after "0x", decimal otherwise: a leading 0 is no octal mark.
    static int Base(const std::string& text) {
        const size_t digits = text.find_first_not_of(" \t+-");
        const bool hex = digits != std::string::npos && text.compare(digits, 2, "0x") == 0;
        return hex ? 16 : 10;
    }
    const std::string* Value() const {
        if (element_ == nullptr) {
            return nullptr;
        }
        const auto attributes = element_->get_child_optional("<xmlattr>");
        if (!attributes) {
            return nullptr;
        }
        const auto found = attributes->find(name_);
        return found == attributes->not_found() ? nullptr : &found->second.data();
    }
    xml_attribute& Set(const std::string& value) {
        element_->put_child("<xmlattr>." + name_, Tree(value));
        return *this;
    }

    Tree* element_ = nullptr;
    std::string name_;
};

class xml_node {
  public:
    xml_node() = default;
    xml_node(Tree* element, std::string name) : element_(element), name_(std::move(name)) {}

    explicit operator bool() const { return element_ != nullptr; }
    bool operator!() const { return element_ == nullptr; }
    const char* name() const { return name_.c_str(); }

    // Child elements in document order, all or those of one name.
    std::vector<xml_node> children(const char* name = nullptr) const {
        std::vector<xml_node> found;
        if (element_ == nullptr) {
            return found;
        }
        for (Tree::value_type& child : *element_) {
            const bool element = child.first.empty() || child.first[0] != '<';
            if (element && (name == nullptr || child.first == name)) {
                found.emplace_back(&child.second, child.first);
            }
        }
        return found;
    }
    xml_node child(const char* name) const {
        std::vector<xml_node> found = children(name);
        return found.empty() ? xml_node() : found.front();
    }
    xml_attribute attribute(const char* name) const { return xml_attribute(element_, name); }

    xml_node append_child(const char* name) {
        Tree& added = element_->add_child(name, Tree());
        return xml_node(&added, name);
    }
    xml_attribute append_attribute(const char* name) { return xml_attribute(element_, name); }

  protected:
    Tree* element_ = nullptr;
    std::string name_;
};

class xml_document : public xml_node {
  public:
    xml_document() : root_(std::make_unique<Tree>()) { element_ = root_.get(); }

    xml_parse_result load_string(const char* text) {
        std::istringstream in(text);
        return Load(in);
    }
    xml_parse_result load_file(const char* path) {
        std::ifstream in(path, std::ios::binary);
        xml_parse_result result;
        if (!in) {
            result.status = status_file_not_found;
            result.message = "File was not found";
            return result;
        }
        return Load(in);
    }

    // Elements and attributes only, one element a line, as the stand-in writes
    // its documents.
    void save(std::ostream& out, const char* indent, unsigned /*flags*/) const {
        for (const Tree::value_type& child : *root_) {
            Write(out, child.first, child.second, indent, 0);
        }
    }

  private:
    xml_parse_result Load(std::istream& in) {
        xml_parse_result result;
        root_->clear();
        try {
            boost::property_tree::read_xml(in, *root_);
        } catch (const boost::property_tree::xml_parser_error& e) {
            root_->clear();
            result.status = status_bad;
            result.message = e.message();
        }
        return result;
    }

    static void Write(std::ostream& out, const std::string& name, const Tree& element,
                      const char* indent, int depth) {
        std::string margin;
        for (int i = 0; i < depth; ++i) {
            margin += indent;
        }
        out << margin << "<" << name;
        bool hasChildren = false;
        for (const Tree::value_type& child : element) {
            if (child.first == "<xmlattr>") {
                for (const Tree::value_type& attribute : child.second) {
                    out << " " << attribute.first << "=\"" << Escape(attribute.second.data())
                        << "\"";
                }
            } else {
                hasChildren = true;
            }
        }
        if (!hasChildren) {
            out << " />\n";
            return;
        }
        out << ">\n";
        for (const Tree::value_type& child : element) {
            if (child.first != "<xmlattr>") {
                Write(out, child.first, child.second, indent, depth + 1);
            }
        }
        out << margin << "</" << name << ">\n";
    }

    static std::string Escape(const std::string& text) {
        std::string escaped;
        for (char c : text) {
            switch (c) {
                case '&':
                    escaped += "&amp;";
                    break;
                case '<':
                    escaped += "&lt;";
                    break;
                case '"':
                    escaped += "&quot;";
                    break;
                default:
                    escaped += c;
            }
        }
        return escaped;
    }

    std::unique_ptr<Tree> root_;
};

}  // namespace pugi
