// The help pages in data/help: every link leads to a page (and anchor) that exists,
// every page is reachable from the contents, and every example marked as quoted from a
// shipped file (<pre class="quote-FILE">) is that file's text, line for line.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = HOPSCOPE_DATA_DIR;
const std::string kHelp = kData + "/help";

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> pages() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(kHelp))
        if (e.path().extension() == ".html") out.push_back(e.path().filename().string());
    return out;
}

std::string unescape(std::string t) {
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (size_t p; (p = t.find(from)) != std::string::npos;) t.replace(p, std::strlen(from), to);
    return t;
}

}  // namespace

TEST(HelpPages, EveryLinkLeadsToAPageAndAnchorThatExist) {
    const std::regex href("href=\"([^\"#]*)(#([^\"]*))?\"");
    std::set<std::string> reached = {"index.html"};
    int links = 0;
    for (const std::string& page : pages()) {
        const std::string text = read(kHelp + "/" + page);
        for (std::sregex_iterator it(text.begin(), text.end(), href), end; it != end; ++it) {
            const std::string target = (*it)[1].str().empty() ? page : (*it)[1].str();
            if (target.find("://") != std::string::npos) continue;
            ++links;
            ASSERT_TRUE(std::filesystem::exists(kHelp + "/" + target)) << page << " links to " << target;
            reached.insert(target);
            if ((*it)[3].matched) {
                EXPECT_NE(read(kHelp + "/" + target).find("name=\"" + (*it)[3].str() + "\""), std::string::npos)
                    << page << " links to the missing anchor " << (*it)[0];
            }
        }
    }
    EXPECT_GT(links, 20);
    for (const std::string& page : pages()) EXPECT_TRUE(reached.count(page)) << page << " is linked from no page";
}

TEST(HelpPages, QuotedExamplesAreTheShippedFilesText) {
    const std::regex quote("<pre class=\"quote-([^\"]+)\">([\\s\\S]*?)</pre>");
    int quotes = 0;
    for (const std::string& page : pages()) {
        const std::string text = read(kHelp + "/" + page);
        for (std::sregex_iterator it(text.begin(), text.end(), quote), end; it != end; ++it) {
            const std::string file = read(kData + "/" + (*it)[1].str());
            ASSERT_FALSE(file.empty()) << page << " quotes the missing " << (*it)[1];
            std::istringstream lines(unescape((*it)[2].str()));
            for (std::string line; std::getline(lines, line);) {
                ++quotes;
                EXPECT_NE(("\n" + file).find("\n" + line + "\n"), std::string::npos)
                    << page << ": not a line of " << (*it)[1] << ": " << line;
            }
        }
    }
    EXPECT_GT(quotes, 20);
}

TEST(HelpPages, TheContentsNameEveryTopic) {
    const std::string index = read(kHelp + "/index.html");
    for (const char* topic : {"menus.html", "panels.html", "alarm_builder.html", "adapters.html", "capture.html",
                              "pdl.html", "adl.html", "settings.html", "capture.html#permissions"})
        EXPECT_NE(index.find(topic), std::string::npos) << topic;
}
