title = "no start";
