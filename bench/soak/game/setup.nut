title = "soak";
