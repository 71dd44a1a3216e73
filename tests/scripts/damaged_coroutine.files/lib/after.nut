return "lib/after.nut (wrong: the directory stack leaked)";
