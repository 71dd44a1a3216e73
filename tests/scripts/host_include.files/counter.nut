counter <- ("counter" in getroottable()) ? counter + 1 : 1; return counter * 10;
