return "after.nut from the root";
