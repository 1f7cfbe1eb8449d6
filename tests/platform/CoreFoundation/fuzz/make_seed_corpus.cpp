// Writes the fuzz seed corpus: the kept regression files plus a few
// ordinary lists, one file each, into the directory given.
#include "hostile_lists.h"

#include <fstream>
#include <iostream>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seed_corpus DIRECTORY\n";
        return 2;
    }
    std::vector<hostile::NamedList> lists = hostile::small_hostile_lists();
    lists.push_back({"nested.bplist", hostile::binary_nested(20)});
    lists.push_back({"nested.plist", hostile::xml_nested(20)});
    lists.push_back({"dictionary.bplist", hostile::binary_dictionary(20)});
    lists.push_back({"dictionary.plist", hostile::xml_dictionary(20)});
    lists.push_back({"domain-deep.bplist", hostile::binary_domain_with_deep_entry(3)});
    lists.push_back({"domain-deep.plist", hostile::xml_domain_with_deep_entry(3)});
    lists.push_back({"scalars.plist",
                     "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>r</key><real>2.5</real>"
                     "<key>i</key><integer>-7</integer><key>d</key><date>2001-01-02T00:00:01Z</date>"
                     "<key>b</key><data>AAEC/w==</data><key>t</key><true/><key>e</key><array/></dict></plist>"});
    for (const auto &list : lists) {
        std::ofstream out(std::string(argv[1]) + "/" + list.name, std::ios::binary);
        out << list.bytes;
        if (!out) {
            std::cerr << "make_seed_corpus: cannot write " << list.name << "\n";
            return 1;
        }
    }
    return 0;
}
