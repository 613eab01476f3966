// Language texts: one string per group and key, with built-in English defaults.
#pragma once
#include <string>

std::string ChooseLanguageFile(const std::string& languageList);
std::string LanguageFileFromList(const std::string& languageList);
void LoadDefaultTexts();
void LoadLanguageTexts(const std::string& path);
const std::string& Text(const char* group, const char* key);
void ResetLanguageTexts();
