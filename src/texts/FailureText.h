#pragma once

#include <string>
#include <string_view>

// What failed, as the first line of an error the user reads.
inline constexpr std::string_view kFeedFetchFailed = "피드를 불러오지 못했습니다";
inline constexpr std::string_view kFeedReadFailed = "피드를 읽지 못했습니다";
inline constexpr std::string_view kPlayFailed = "재생하지 못했습니다";
inline constexpr std::string_view kPlayBrokeOff = "재생이 중단되었습니다";
inline constexpr std::string_view kCopyFailed = "링크를 클립보드에 복사하지 못했습니다";
inline constexpr std::string_view kChaptersFailed = "챕터 파일을 읽지 못했습니다";

// An error as the user reads it: a Korean first line saying what failed and
// naming the link or file ("피드를 불러오지 못했습니다: http://..."), then,
// after a blank line, the technical reason from the library.
std::string FailureText(std::string_view whatFailed, std::string_view subject,
                        std::string_view reason);

// The same on one line, for standard error: "ZURav3: <what>: <subject>: <reason>".
std::string FailureLine(std::string_view whatFailed, std::string_view subject,
                        std::string_view reason);
