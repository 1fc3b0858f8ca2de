#pragma once
// The product's pages on the web: the home page, and the manual and the common
// questions for when they are not installed beside the program.

constexpr char HomePageUrl[] = "https://vellumix.org/";
constexpr char ManualUrl[] = "https://vellumix.org/manual.htm";
constexpr char FaqUrl[] = "https://vellumix.org/faq.htm";

// The local copies, looked for in the program's own folder.
constexpr char ManualFile[] = "manual.htm";
constexpr char FaqFile[] = "faq.htm";
