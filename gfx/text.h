// Text in graphics mode: the 100x37 grid of 8x16 cells, the cursor, colours,
// the text window and print_to_screen, the screen channel's sink.
#pragma once

#include <cstdint>

// The colour set_colour is given to leave a colour as it is (any negative value does).
constexpr int32_t KEEP_COLOUR = -1;

// Set the text colours (a negative value keeps that colour); returns fg | (bg << 16) before.
uint32_t set_colour(int32_t foreground, int32_t background);

// Move the text cursor (counted from 1; 0 keeps a coordinate). Records error 1 when refused.
void locate(int32_t row, int32_t column, int32_t cursor = -1);

// Set the rows that output wraps and scrolls in; returns top | (bottom << 16), or 0 when refused.
uint32_t set_text_window(int32_t top, int32_t bottom);

// Draw bytes at the cursor with control codes, wrapping and scrolling.
void print_to_screen(const char* bytes, int32_t length, int32_t flags);

// Return the text grid's size (100, 37).
void text_size(int32_t* columns, int32_t* rows);

// Return the text cursor, counted from 1.
void text_cursor(int32_t* column, int32_t* row);

// Return the text window rows, counted from 1 (the whole console, 1 to 25, while no screen is open).
void text_window(int32_t* top, int32_t* bottom);
