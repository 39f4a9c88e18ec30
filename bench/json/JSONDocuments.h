// JSON documents shaped like the usual benchmark files, generated from a
// seed so that every run sees the same bytes without shipping them:
//  - canada: a feature collection of polygons, long arrays of coordinate
//    pairs printed with 15 to 17 significant digits, minified;
//  - citm: a catalogue of events and performances, pretty-printed, with
//    optional members, arrays of varied length and names in several
//    scripts;
//  - twitter: search results, pretty-printed in ASCII (every other
//    character as a \u escape, surrogate pairs included), each status with
//    its own text, a user of varied shape and sometimes a retweeted status.
// Whole numbers stay within 14 digits and other numbers have a few decimals
// so that a writer printing "%.14G" and one printing the shortest form can
// give the same bytes for citm and twitter.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/encodings.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace zeft::bench {

class JSONDocumentMaker {
 public:
  explicit JSONDocumentMaker(uint32_t seed) : fRandom(seed) {}

  std::string Canada(int features = 4) {
    std::string text = "{\"type\":\"FeatureCollection\",\"features\":[";
    for (int feature = 0; feature < features; ++feature) {
      if (feature > 0) text += ',';
      text +=
          "{\"type\":\"Feature\",\"properties\":{\"name\":\"Canada\"},\"geometry\":"
          "{\"type\":\"Polygon\",\"coordinates\":[";
      const int rings = 80 + Below(80);
      for (int ring = 0; ring < rings; ++ring) {
        if (ring > 0) text += ',';
        text += '[';
        const int points = 20 + Below(200);
        double x = Uniform(-140, -52), y = Uniform(42, 83);
        for (int point = 0; point < points; ++point) {
          if (point > 0) text += ',';
          x += Uniform(-0.01, 0.01);
          y += Uniform(-0.01, 0.01);
          text += '[' + Precise(x) + ',' + Precise(y) + ']';
        }
        text += ']';
      }
      text += "]}}";
    }
    return text + "]}";
  }

  // Pretty-printed in UTF-8, four spaces a level.
  std::string Citm(int events = 2500) {
    rapidjson::Document d(rapidjson::kObjectType);
    auto& a = d.GetAllocator();
    rapidjson::Value areaNames(rapidjson::kObjectType);
    for (int i = 0; i < 300; ++i)
      areaNames.AddMember(Str(std::to_string(205705993 + i * 7), a), Str(Name(2 + Below(3)), a), a);
    d.AddMember("areaNames", areaNames, a);
    rapidjson::Value categories(rapidjson::kObjectType);
    for (int i = 0; i < 40; ++i)
      categories.AddMember(Str(std::to_string(337100890 + i), a), Str(Name(1 + Below(2)), a), a);
    d.AddMember("audienceSubCategoryNames", categories, a);
    d.AddMember("blockNames", rapidjson::Value(rapidjson::kObjectType), a);
    rapidjson::Value eventMap(rapidjson::kObjectType);
    for (int i = 0; i < events; ++i) {
      const int64_t id = 138586341 + int64_t(i) * 13;
      rapidjson::Value event(rapidjson::kObjectType);
      event.AddMember("description", Below(5) == 0 ? Str(Sentence(8), a) : Null(), a);
      event.AddMember("id", id, a);
      event.AddMember("logo", Below(2) == 0 ? Null() : Str(Logo(), a), a);
      event.AddMember("name", Str(Name(1 + Below(5)), a), a);
      event.AddMember("subTopicIds", Ids(1 + Below(6), 337184262, a), a);
      event.AddMember("subjectCode", Null(), a);
      event.AddMember("subtitle", Below(7) == 0 ? Str(Name(3), a) : Null(), a);
      event.AddMember("topicIds", Ids(1 + Below(3), 107888604, a), a);
      eventMap.AddMember(Str(std::to_string(id), a), event, a);
    }
    d.AddMember("events", eventMap, a);
    rapidjson::Value performances(rapidjson::kArrayType);
    for (int i = 0; i < events * 4 / 5; ++i) {
      rapidjson::Value p(rapidjson::kObjectType);
      p.AddMember("eventId", int64_t(138586341 + int64_t(Below(events)) * 13), a);
      p.AddMember("id", int64_t(339887544 + int64_t(i) * 3), a);
      p.AddMember("logo", Below(3) == 0 ? Str(Logo(), a) : Null(), a);
      p.AddMember("name", Null(), a);
      rapidjson::Value prices(rapidjson::kArrayType);
      for (int k = 1 + Below(5); k > 0; --k) {
        rapidjson::Value price(rapidjson::kObjectType);
        price.AddMember("amount", 5000 + 250 * Below(400), a);
        price.AddMember("audienceSubCategoryId", 337100890 + Below(40), a);
        price.AddMember("seatCategoryId", 338937295 + Below(30), a);
        prices.PushBack(price, a);
      }
      p.AddMember("prices", prices, a);
      rapidjson::Value seats(rapidjson::kArrayType);
      for (int k = 1 + Below(4); k > 0; --k) {
        rapidjson::Value seat(rapidjson::kObjectType);
        rapidjson::Value areas(rapidjson::kArrayType);
        for (int m = 1 + Below(6); m > 0; --m) {
          rapidjson::Value area(rapidjson::kObjectType);
          area.AddMember("areaId", 205705993 + Below(300) * 7, a);
          area.AddMember("blockIds", rapidjson::Value(rapidjson::kArrayType), a);
          areas.PushBack(area, a);
        }
        seat.AddMember("areas", areas, a);
        seat.AddMember("seatCategoryId", 338937295 + Below(30), a);
        seats.PushBack(seat, a);
      }
      p.AddMember("seatCategories", seats, a);
      p.AddMember("seatMapImage", Null(), a);
      p.AddMember("start", int64_t(1372701600000) + int64_t(Below(400)) * 86400000, a);
      p.AddMember("venueCode", Str(Below(4) == 0 ? "PLEYEL_PLEYEL" : "PLEYEL", a), a);
      performances.PushBack(p, a);
    }
    d.AddMember("performances", performances, a);
    rapidjson::Value venues(rapidjson::kObjectType);
    venues.AddMember("PLEYEL_PLEYEL", Str(Name(2), a), a);
    d.AddMember("venueNames", venues, a);
    return Pretty<rapidjson::UTF8<>>(d, 4);
  }

  // Pretty-printed in ASCII, two spaces a level.
  std::string Twitter(int statuses = 1500) {
    rapidjson::Document d(rapidjson::kObjectType);
    auto& a = d.GetAllocator();
    rapidjson::Value list(rapidjson::kArrayType);
    for (int i = 0; i < statuses; ++i) {
      rapidjson::Value status = Status(a);
      if (Below(4) == 0) status.AddMember("retweeted_status", Status(a), a);
      list.PushBack(status, a);
    }
    d.AddMember("statuses", list, a);
    rapidjson::Value search(rapidjson::kObjectType);
    search.AddMember("completed_in", 0.087, a);
    search.AddMember("max_id", int64_t(50587492409581), a);
    search.AddMember("query", "%E4%B8%80", a);
    search.AddMember("count", statuses, a);
    d.AddMember("search_metadata", search, a);
    return Pretty<rapidjson::ASCII<>>(d, 2);
  }

 private:
  int Below(int n) { return int(fRandom() % uint32_t(n)); }
  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(fRandom);
  }

  // A coordinate as canada.json prints them: the shortest digits that
  // read back as the same double, often 15 to 17.
  static std::string Precise(double value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.Double(value);
    return buffer.GetString();
  }

  static rapidjson::Value Null() { return rapidjson::Value(); }
  static rapidjson::Value Str(const std::string& text, rapidjson::Document::AllocatorType& a) {
    return rapidjson::Value(text.data(), rapidjson::SizeType(text.size()), a);
  }
  rapidjson::Value Ids(int count, int base, rapidjson::Document::AllocatorType& a) {
    rapidjson::Value ids(rapidjson::kArrayType);
    for (int i = 0; i < count; ++i) ids.PushBack(base + Below(200), a);
    return ids;
  }
  std::string Logo() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string logo = "/images/UE0AAAAA";
    for (int i = 0; i < 16; ++i) logo += kLetters[Below(62)];
    return logo + ".png";
  }

  // Words in Latin with accents, Cyrillic, Greek, Japanese and Chinese,
  // with the odd emoji; whole texts are drawn from them.
  std::string Word() {
    static const char* const kWords[] = {
        "Concert",
        "Orchestre",
        "Arri\xC3\xA8re-sc\xC3\xA8ne",
        "symphonique",
        "op\xC3\xA9ra",
        "Caf\xC3\xA9",
        "cr\xC3\xA8me",
        "br\xC3\xBBl\xC3\xA9\x65",
        "\xD0\xBA\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0",
        "\xD0\xBC\xD0\xB8\xD1\x80",
        "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xAC\xCE\xB2\xCE\xB7\xCF\x84\xCE\xBF",
        "\xE5\x90\x8D\xE5\x89\x8D",
        "\xE5\x89\x8D\xE7\x94\xB0\xE3\x81\x82\xE3\x82\x86\xE3\x81\xBF",
        "\xE3\x81\x88\xE3\x81\xA3\xE3\x81\xA8\xE2\x80\xA6",
        "\xE4\xB8\xAD\xE6\x96\x87",
        "\xF0\x9F\x98\x80",
        "\xF0\x9F\x8E\xB5",
        "the",
        "and",
        "tonight",
        "tickets",
        "#music",
        "@friend",
        "http://t.co/PkCJAcSuYK",
    };
    std::string word = kWords[Below(int(sizeof kWords / sizeof kWords[0]))];
    // Numbers and capitals make most words distinct.
    if (Below(3) == 0) word += std::to_string(Below(10000));
    return word;
  }
  std::string Name(int words) {
    std::string name;
    for (int i = 0; i < words; ++i) name += (i > 0 ? " " : "") + Word();
    return name;
  }
  std::string Sentence(int words) {
    std::string text;
    for (int i = 0; i < words; ++i) {
      if (i > 0) text += Below(12) == 0 ? "\n" : " ";
      if (Below(20) == 0) text += '"';
      text += Word();
    }
    return text;
  }

  rapidjson::Value Status(rapidjson::Document::AllocatorType& a) {
    const int64_t id = 50587492409581 + int64_t(fRandom() % 100000000);
    rapidjson::Value s(rapidjson::kObjectType);
    rapidjson::Value metadata(rapidjson::kObjectType);
    metadata.AddMember("result_type", "recent", a);
    metadata.AddMember("iso_language_code", Str(Below(2) == 0 ? "ja" : "en", a), a);
    s.AddMember("metadata", metadata, a);
    s.AddMember("created_at",
                Str("Sun Aug 31 " + std::to_string(10 + Below(14)) + ":" +
                        std::to_string(10 + Below(50)) + ":15 +0000 2014",
                    a),
                a);
    s.AddMember("id", id, a);
    s.AddMember("id_str", Str(std::to_string(id), a), a);
    s.AddMember("text", Str(Sentence(4 + Below(16)), a), a);
    s.AddMember("source",
                "<a href=\"http://twitter.com/download/iphone\" rel=\"nofollow\">Twitter for "
                "iPhone</a>",
                a);
    s.AddMember("truncated", false, a);
    if (Below(3) == 0) {
      s.AddMember("in_reply_to_status_id", int64_t(id - 1000 - Below(100000)), a);
      s.AddMember("in_reply_to_screen_name", Str("user" + std::to_string(Below(100000)), a), a);
    } else {
      s.AddMember("in_reply_to_status_id", Null(), a);
      s.AddMember("in_reply_to_screen_name", Null(), a);
    }
    rapidjson::Value user(rapidjson::kObjectType);
    user.AddMember("id", int64_t(1186275104) + Below(1000000), a);
    user.AddMember("name", Str(Name(1 + Below(2)), a), a);
    user.AddMember("screen_name", Str("user" + std::to_string(Below(100000)), a), a);
    user.AddMember("location", Below(2) == 0 ? Str(Name(1), a) : Str("", a), a);
    user.AddMember("description", Str(Sentence(Below(12)), a), a);
    if (Below(3) == 0) user.AddMember("url", Str("http://t.co/" + Logo().substr(16, 10), a), a);
    user.AddMember("protected", false, a);
    user.AddMember("followers_count", Below(100000), a);
    user.AddMember("friends_count", Below(5000), a);
    user.AddMember("created_at", "Wed Mar 20 13:56:40 +0000 2013", a);
    user.AddMember("favourites_count", Below(20000), a);
    user.AddMember("utc_offset", Below(2) == 0 ? rapidjson::Value(32400) : Null(), a);
    user.AddMember("verified", Below(50) == 0, a);
    user.AddMember("lang", "ja", a);
    user.AddMember("profile_background_color", "C0DEED", a);
    user.AddMember("profile_image_url",
                   Str("http://pbs.twimg.com/profile_images/" + std::to_string(Below(1000000)) +
                           "/normal.jpeg",
                       a),
                   a);
    s.AddMember("user", user, a);
    if (Below(10) == 0) {
      rapidjson::Value geo(rapidjson::kObjectType);
      geo.AddMember("type", "Point", a);
      rapidjson::Value point(rapidjson::kArrayType);
      point.PushBack(35 + (1 + Below(9998)) / 10000.0, a)
          .PushBack(139 + (1 + Below(9998)) / 10000.0, a);
      geo.AddMember("coordinates", point, a);
      s.AddMember("geo", geo, a);
    } else {
      s.AddMember("geo", Null(), a);
    }
    s.AddMember("retweet_count", Below(5) == 0 ? Below(5000) : 0, a);
    s.AddMember("favorite_count", Below(300), a);
    rapidjson::Value entities(rapidjson::kObjectType);
    rapidjson::Value hashtags(rapidjson::kArrayType);
    for (int k = Below(3); k > 0; --k) {
      rapidjson::Value tag(rapidjson::kObjectType);
      tag.AddMember("text", Str(Word(), a), a);
      rapidjson::Value indices(rapidjson::kArrayType);
      const int start = Below(100);
      indices.PushBack(start, a).PushBack(start + 2 + Below(10), a);
      tag.AddMember("indices", indices, a);
      hashtags.PushBack(tag, a);
    }
    entities.AddMember("hashtags", hashtags, a);
    rapidjson::Value urls(rapidjson::kArrayType);
    if (Below(4) == 0) {
      rapidjson::Value url(rapidjson::kObjectType);
      url.AddMember("url", "http://t.co/PkCJAcSuYK", a);
      url.AddMember("expanded_url", Str("http://example.com/" + std::to_string(Below(99999)), a),
                    a);
      urls.PushBack(url, a);
    }
    entities.AddMember("urls", urls, a);
    rapidjson::Value mentions(rapidjson::kArrayType);
    for (int k = Below(3); k > 0; --k) {
      rapidjson::Value mention(rapidjson::kObjectType);
      mention.AddMember("screen_name", Str("user" + std::to_string(Below(100000)), a), a);
      mention.AddMember("id", int64_t(866260188) + Below(1000000), a);
      mentions.PushBack(mention, a);
    }
    entities.AddMember("user_mentions", mentions, a);
    s.AddMember("entities", entities, a);
    s.AddMember("favorited", false, a);
    s.AddMember("retweeted", Below(8) == 0, a);
    s.AddMember("lang", Str(Below(2) == 0 ? "ja" : "en", a), a);
    return s;
  }

  template <typename Encoding>
  static std::string Pretty(const rapidjson::Document& d, int indent) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer, rapidjson::UTF8<>, Encoding> writer(buffer);
    writer.SetIndent(' ', unsigned(indent));
    d.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
  }

  std::mt19937 fRandom;
};

}  // namespace zeft::bench
