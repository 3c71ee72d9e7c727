Plinkora Song
200 ms
3 Pattern
1 2 3 4 
1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 
9 9 9 9 9 9 
1 Songlines
1 
