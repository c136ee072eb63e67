-- 示範資料庫：一家小型電腦用品經銷商的客戶、產品、訂單與操作紀錄。
-- Built by scripts/make-demo-db.sh into build/demo/demo.db (sqlite3 shell). Every name and
-- text is Traditional Chinese that Big5 can hold. Rows are generated with recursive CTEs
-- from fixed formulas, so every build gives the same database.
--
--   客戶      key 客戶編號; required 客戶名稱; unique index on 統一編號; one more index
--   產品      text key 產品編號; a BLOB column 圖片
--   訂單      key 訂單編號; two indexes; 1,200 rows
--   訂單明細  two-column key (訂單編號, 項次); 4,800 rows
--   地區      no key, no index (a small lookup list)
--   操作紀錄  log table: no key, no index; DATETIME column
--   訂單總額  view over 訂單, 客戶 and 訂單明細

PRAGMA foreign_keys = OFF;
BEGIN TRANSACTION;

DROP VIEW IF EXISTS 訂單總額;
DROP TABLE IF EXISTS 訂單明細;
DROP TABLE IF EXISTS 訂單;
DROP TABLE IF EXISTS 產品;
DROP TABLE IF EXISTS 客戶;
DROP TABLE IF EXISTS 地區;
DROP TABLE IF EXISTS 操作紀錄;

CREATE TABLE 地區 (
    地區代碼 CHAR(2),
    地區名稱 NVARCHAR(10)
);

INSERT INTO 地區 (地區代碼, 地區名稱) VALUES
    ('01', '台北市'), ('02', '新北市'), ('03', '桃園縣'), ('04', '新竹市'),
    ('05', '台中市'), ('06', '彰化縣'), ('07', '嘉義市'), ('08', '台南市'),
    ('09', '高雄市'), ('10', '花蓮縣'), ('11', '宜蘭縣'), ('12', '屏東縣');

CREATE TABLE 客戶 (
    客戶編號 INTEGER PRIMARY KEY,
    客戶名稱 NVARCHAR(40) NOT NULL,
    統一編號 CHAR(8),
    聯絡人 NVARCHAR(10),
    電話 VARCHAR(20),
    地區代碼 CHAR(2),
    地址 NVARCHAR(80),
    信用額度 REAL,
    建檔日期 DATE,
    備註 TEXT
);
CREATE UNIQUE INDEX 客戶_統一編號 ON 客戶 (統一編號);
CREATE INDEX 客戶_地區 ON 客戶 (地區代碼, 客戶名稱);

-- 60 customers: name = auspicious word + trade + company form (unique per number).
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60),
前 (k, 字) AS (VALUES (0, '大同'), (1, '新興'), (2, '光華'), (3, '永安'), (4, '長榮'),
                      (5, '中華'), (6, '福記'), (7, '建國'), (8, '明德'), (9, '信義')),
業 (k, 字) AS (VALUES (0, '電腦'), (1, '資訊'), (2, '科技'), (3, '文具'), (4, '電子'),
                      (5, '貿易')),
型 (k, 字) AS (VALUES (0, '股份有限公司'), (1, '有限公司'), (2, '企業社'), (3, '商行')),
姓 (k, 字) AS (VALUES (0, '陳'), (1, '林'), (2, '黃'), (3, '張'), (4, '李'), (5, '王'),
                      (6, '吳'), (7, '劉'), (8, '蔡'), (9, '楊')),
名 (k, 字) AS (VALUES (0, '志明'), (1, '淑芬'), (2, '建宏'), (3, '美玲'), (4, '俊傑'),
                      (5, '雅婷'), (6, '家豪'))
INSERT INTO 客戶 (客戶編號, 客戶名稱, 統一編號, 聯絡人, 電話, 地區代碼, 地址, 信用額度,
                  建檔日期, 備註)
SELECT n.i,
       前.字 || 業.字 || 型.字,
       CASE WHEN n.i % 13 = 0 THEN NULL ELSE printf('%08d', 12345678 + n.i * 7919) END,
       姓.字 || 名.字,
       printf('(0%d)%04d-%04d', 2 + n.i % 7, 2000 + (n.i * 37) % 8000, (n.i * 7919) % 10000),
       printf('%02d', 1 + n.i % 12),
       (SELECT 地區名稱 FROM 地區 WHERE 地區代碼 = printf('%02d', 1 + n.i % 12))
           || '中正路' || (n.i * 3 % 250 + 1) || '號',
       CASE WHEN n.i % 9 = 0 THEN NULL ELSE (n.i % 20 + 1) * 25000.0 END,
       date('2001-01-15', '+' || (n.i * 23) || ' days'),
       CASE n.i % 5 WHEN 0 THEN '月結三十天' WHEN 1 THEN '貨到付款' WHEN 2 THEN NULL
                    WHEN 3 THEN '需開立三聯式發票' ELSE '' END
FROM n
JOIN 前 ON 前.k = n.i % 10
JOIN 業 ON 業.k = (n.i / 10) % 6
JOIN 型 ON 型.k = n.i % 4
JOIN 姓 ON 姓.k = (n.i * 3) % 10
JOIN 名 ON 名.k = n.i % 7;

CREATE TABLE 產品 (
    產品編號 VARCHAR(10) NOT NULL PRIMARY KEY,
    產品名稱 NVARCHAR(40) NOT NULL,
    類別 NVARCHAR(10),
    單位 NVARCHAR(4),
    單價 REAL NOT NULL DEFAULT 0,
    庫存量 INTEGER,
    停售 INTEGER NOT NULL DEFAULT 0,
    上市日期 DATE,
    圖片 BLOB
);

INSERT INTO 產品 (產品編號, 產品名稱, 類別, 單位, 單價, 庫存量, 停售, 上市日期, 圖片) VALUES
    ('P0001', '十七吋液晶顯示器', '顯示器', '台', 8900, 35, 0, '2003-05-01',
        X'89504E470D0A1A0A0000000D49484452000000010000000108060000001F15C489'),
    ('P0002', '十九吋液晶顯示器', '顯示器', '台', 12500, 12, 0, '2004-02-16', NULL),
    ('P0003', '光學滑鼠', '周邊', '個', 390, 480, 0, '2002-09-10',
        X'47494638396101000100800000FFFFFF00000021F90401000000002C00000000010001000002024401003B'),
    ('P0004', '無線鍵盤組', '周邊', '組', 1290, 150, 0, '2003-11-20', NULL),
    ('P0005', '雷射印表機', '印表機', '台', 15800, 8, 0, '2003-03-03',
        X'FFD8FFE000104A46494600010100000100010000FFD9'),
    ('P0006', '噴墨印表機', '印表機', '台', 3990, 22, 1, '2001-07-07', NULL),
    ('P0007', '碳粉匣', '耗材', '個', 2450, 90, 0, '2003-03-03', NULL),
    ('P0008', 'A4影印紙', '耗材', '箱', 680, 300, 0, '2000-01-01', NULL),
    ('P0009', '隨身碟 256MB', '儲存', '支', 990, 260, 0, '2004-01-05', X''),
    ('P0010', '外接式硬碟 160GB', '儲存', '台', 4690, 40, 0, '2004-06-18', NULL),
    ('P0011', '燒錄機', '儲存', '台', 2290, 0, 1, '2002-04-12', NULL),
    ('P0012', '網路交換器八埠', '網路', '台', 1850, 55, 0, '2003-08-08', NULL),
    ('P0013', '無線基地台', '網路', '台', 2990, 31, 0, '2004-03-30', NULL),
    ('P0014', '不斷電系統', '電源', '台', 5600, 14, 0, '2002-12-12', NULL),
    ('P0015', '掃描器', '周邊', '台', 3290, 19, 0, '2003-10-10', NULL),
    ('P0016', '網路線（五公尺）', '網路', '條', 120, 900, 0, '2000-06-01', NULL);

CREATE TABLE 訂單 (
    訂單編號 INTEGER PRIMARY KEY,
    客戶編號 INTEGER NOT NULL REFERENCES 客戶 (客戶編號),
    訂購日期 DATE NOT NULL,
    交貨日期 DATE,
    業務員 NVARCHAR(10),
    狀態 NVARCHAR(6) NOT NULL DEFAULT '處理中'
);
CREATE INDEX 訂單_客戶 ON 訂單 (客戶編號);
CREATE INDEX 訂單_訂購日期 ON 訂單 (訂購日期);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200)
INSERT INTO 訂單 (訂單編號, 客戶編號, 訂購日期, 交貨日期, 業務員, 狀態)
SELECT 20040000 + i,
       1 + (i * 7) % 60,
       date('2004-01-02', '+' || (i * 5 / 8) || ' days'),
       CASE WHEN i % 17 = 0 THEN NULL
            ELSE date('2004-01-02', '+' || (i * 5 / 8 + 2 + i % 6) || ' days') END,
       CASE i % 4 WHEN 0 THEN '周文雄' WHEN 1 THEN '鄭美華' WHEN 2 THEN '許國華' ELSE '謝佳慧' END,
       CASE WHEN i % 17 = 0 THEN '處理中' WHEN i % 29 = 0 THEN '已取消' ELSE '已出貨' END
FROM n;

CREATE TABLE 訂單明細 (
    訂單編號 INTEGER NOT NULL,
    項次 INTEGER NOT NULL,
    產品編號 VARCHAR(10) NOT NULL,
    數量 INTEGER NOT NULL,
    單價 REAL NOT NULL,
    折扣 REAL DEFAULT 0,
    PRIMARY KEY (訂單編號, 項次)
);

-- Four lines per order: 4,800 rows.
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 4799)
INSERT INTO 訂單明細 (訂單編號, 項次, 產品編號, 數量, 單價, 折扣)
SELECT 20040001 + i / 4,
       1 + i % 4,
       printf('P%04d', 1 + (i * 5 + i / 4) % 16),
       1 + (i * 7) % 12,
       (SELECT 單價 FROM 產品 WHERE 產品編號 = printf('P%04d', 1 + (i * 5 + i / 4) % 16)),
       CASE WHEN i % 10 = 0 THEN 0.1 WHEN i % 7 = 0 THEN 0.05 ELSE 0 END
FROM n;

CREATE TABLE 操作紀錄 (
    時間 DATETIME,
    使用者 NVARCHAR(10),
    動作 NVARCHAR(10),
    內容 TEXT
);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO 操作紀錄 (時間, 使用者, 動作, 內容)
SELECT datetime('2004-01-02 08:30:00', '+' || (i * 173) || ' minutes'),
       CASE i % 3 WHEN 0 THEN '管理員' WHEN 1 THEN '鄭美華' ELSE '許國華' END,
       CASE i % 5 WHEN 0 THEN '登入' WHEN 1 THEN '新增訂單' WHEN 2 THEN '修改客戶'
                  WHEN 3 THEN '列印報表' ELSE '登出' END,
       CASE i % 5 WHEN 1 THEN '訂單 ' || (20040000 + i * 4) || ' 建立'
                  WHEN 2 THEN '客戶 ' || (1 + i % 60) || ' 資料更新'
                  WHEN 3 THEN '月報表'
                  ELSE NULL END
FROM n;

CREATE VIEW 訂單總額 AS
SELECT 訂單.訂單編號 AS 訂單編號,
       客戶.客戶名稱 AS 客戶名稱,
       訂單.訂購日期 AS 訂購日期,
       COUNT(*) AS 項數,
       ROUND(SUM(訂單明細.數量 * 訂單明細.單價 * (1 - 訂單明細.折扣)), 0) AS 總額
FROM 訂單
JOIN 客戶 ON 客戶.客戶編號 = 訂單.客戶編號
JOIN 訂單明細 ON 訂單明細.訂單編號 = 訂單.訂單編號
GROUP BY 訂單.訂單編號, 客戶.客戶名稱, 訂單.訂購日期;

COMMIT;
