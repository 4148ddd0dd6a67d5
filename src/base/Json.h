#pragma once

#include <string>
#include <string_view>

// JSON for the headless tool's output. Text is 8-bit: each byte is taken as the character
// with the same code (Latin-1), so every log byte survives the trip.
std::string JsonString(std::string_view latin1);
// The shortest text that reads back as the same double.
std::string JsonNumber(double value);
