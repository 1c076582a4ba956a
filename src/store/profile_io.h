#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "store/profile_file.h"

namespace kv7 {

// A currency amount: 64-bit fixed point in units of 1/10000.
struct Currency {
    int64_t units = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

// A calendar date with a time of day on a 24-hour clock.
struct DateTime {
    int16_t year = 1899;
    int16_t month = 12;
    int16_t day = 30;
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Every kind of value the settings file can hold.
using ProfileValue =
    std::variant<int16_t, int32_t, float, double, Currency, uint8_t, std::string, DateTime, bool>;

template <typename T>
concept ProfileType = requires {
    ProfileValue(std::in_place_type<T>);
}
&&!std::is_same_v<T, ProfileValue>;

// Typed values in one INI file (Path followed by Name) under one current section.
class clsCmcProfileIO {
  public:
    // Works on real files; programDirectory is where the program was started from.
    explicit clsCmcProfileIO(std::string programDirectory = {});
    // Works through the given file layer (a fake in tests).
    explicit clsCmcProfileIO(ProfileFile& file, std::string programDirectory = {});

    const std::string& Name() const { return Name_; }
    void setName(const std::string& v) { Name_ = v; }
    const std::string& Path() const { return Path_; }
    void setPath(const std::string& v) { Path_ = v; }
    const std::string& Section() const { return Section_; }
    void setSection(const std::string& v) { Section_ = v; }
    std::string FullPath() const { return GetMyProfile(); }
    void setFullPath(const std::string& s);

    const std::string& programDirectory() const { return programDirectory_; }
    void setProgramDirectory(const std::string& dir) { programDirectory_ = dir; }

    // Path becomes the program directory followed by the platform's separator ("\\" on
    // Windows, "/" elsewhere) unless it already ends with one.
    void SetCurrentPath();
    void SetCurrentPath(const std::string& programDirectory);
    // The file every load and save works on, exactly as the platform opens it.
    std::string GetMyProfile() const { return Path_ + Name_; }

    bool saveData(const std::string& sKey, const ProfileValue& sData);
    // A quoted text is saved as text (an array, so a zero constant never lands here).
    template <std::size_t N>
    bool saveData(const std::string& sKey, const char (&sData)[N]) {
        return saveData(sKey, ProfileValue(std::string(sData)));
    }
    // Without a default the current value is the default.
    bool loadData(const std::string& sKey, ProfileValue& sData);
    // Refused (false, sData unchanged) when the default is of another type than sData.
    bool loadData(const std::string& sKey, ProfileValue& sData, const ProfileValue& sDefaultData);

    template <ProfileType T>
    bool loadData(const std::string& sKey, T& sData) {
        ProfileValue v(std::in_place_type<T>, sData);
        if (!loadData(sKey, v)) return false;
        sData = std::get<T>(v);
        return true;
    }
    template <ProfileType T, typename D>
    bool loadData([[maybe_unused]] const std::string& sKey, [[maybe_unused]] T& sData,
                  [[maybe_unused]] const D& sDefaultData) {
        constexpr bool kTextDefault = std::is_convertible_v<const D&, const char*>;
        using Default = std::conditional_t<kTextDefault, std::string, std::decay_t<D>>;
        if constexpr (!std::is_same_v<T, Default>) {
            return false;  // a default of another type is never converted
        } else {
            // A text pointer that points nowhere is no default at all.
            if constexpr (std::is_pointer_v<D> || std::is_null_pointer_v<D>) {
                if (sDefaultData == nullptr) return false;
            }
            ProfileValue v(std::in_place_type<T>, sData);
            if (!loadData(sKey, v, ProfileValue(std::in_place_type<T>, Default(sDefaultData)))) {
                return false;
            }
            sData = std::get<T>(v);
            return true;
        }
    }

    static std::string StripTerminator(const std::string& StrString);
    static std::string GetFileName(const std::string& strPath);
    std::string GetPathName(const std::string& strFilename) const;
    static std::string UCase16(const std::string& str) { return str; }

  private:
    ProfileFile* file_;
    std::string programDirectory_;
    std::string Name_ = "Profile.INI";
    std::string Path_;
    std::string Section_;
};

// The text a value is saved as; none for a value that could not be read back (a non-finite
// number, an impossible date).
std::optional<std::string> profileText(const ProfileValue& v);
// Converts text into the type that `into` holds; false (into unchanged) when it does not fit.
bool profileParse(const std::string& text, ProfileValue& into);

}  // namespace kv7
